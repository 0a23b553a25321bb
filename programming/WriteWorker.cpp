#include "programming/BlockRegions.h"
#include "programming/BusyFlagRelease.h"
#include "programming/MessageNumberOrder.h"
#include "programming/ProgrammingTexts.h"
#include "programming/SerialNumber.h"
#include "programming/StatusBlink.h"
#include "programming/TransferDetails.h"
#include "programming/TransferWorkers.h"

#include "link/CradleProtocol.h"

#include <array>
#include <memory>

namespace {

constexpr std::uint32_t kMinimumCapcode = 8;

// Writes the image to the pager block by block, each block verified by the cradle's echo, and
// prepares the settings for the next pager of a batch.
class WriteProcedure {
public:
    WriteProcedure(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep,
                   BusyFlagRelease& busy)
        : context_(context), host_(host), sleep_(sleep), busy_(busy),
          link_(*context.channel, context.transfer, host),
          regions_(WrittenRegions(context.state.serialWriteEnabled.load())) {}

    TransferOutcome Run() {
        // A repair write sends the image the repair request prepared, as it is.
        const bool repair = context_.state.repairWriteRequest.load() == kRepairUnderWay;
        if (!repair && !(PagerMatchesMode() && GatherAndCheckCapcodes())) {
            return outcome_;
        }
        if (StopRequested()) {
            return outcome_;
        }
        Prepare(repair);
        if (!WriteRegions() || !FinalIdentityCheck()) {
            return outcome_;
        }
        host_.SetProgressPosition(0);
        BlinkStatus(host_, sleep_, kWriteOkText, context_.stopRequested);
        // Every block is in the pager; only the preparation for the next pager is left out.
        if (context_.stopRequested.load()) {
            return outcome_;
        }
        // The repaired pager holds the file's numbers, not the pages': there is nothing to
        // advance, and the General page keeps what it shows and what was typed.
        if (repair) {
            return outcome_;
        }
        AdvanceSerialNumber();
        busy_.Release();
        host_.IncrementCapcodes();
        return outcome_;
    }

private:
    // Reads the pager identity. A pager of the other generation offers the mode switch and a
    // missing pager is reported; either way nothing is written this time.
    bool PagerMatchesMode() {
        if (StopRequested()) {
            return false;
        }
        context_.transfer.address = 0;
        PagerIdentity identity = PagerIdentity::Invalid;
        if (!link_.Identify(identity)) {
            outcome_ = TransferOutcome{TransferResult::LinkFailed, link_.failureDetails(), 0};
            return false;
        }
        const std::uint8_t mode = context_.state.programmingMode.load();
        switch (identity) {
        case PagerIdentity::V2:
            if (mode == kModeV2) {
                return true;
            }
            outcome_ = TransferOutcome{
                TransferResult::OtherGeneration,
                "The pager in the cradle is a V2 pager (\"W50C\"); the settings are for V1."};
            OfferModeSwitch(kV2PagerQuestion, kModeV2, MessageNumberOrderForV2);
            return false;
        case PagerIdentity::V1:
            if (mode == kModeV1) {
                return true;
            }
            outcome_ = TransferOutcome{
                TransferResult::OtherGeneration,
                "The pager in the cradle is a V1 pager (\"2011\"); the settings are for V2."};
            OfferModeSwitch(kV1PagerQuestion, kModeV1, MessageNumberOrderForV1);
            return false;
        case PagerIdentity::Invalid:
            break;
        }
        outcome_ = TransferOutcome{TransferResult::NoPager,
                                   IdentityText(context_.transfer.reply.data() + kFrameHeaderSize)};
        MessageRequest message{kNoPagerText, kWriteCaption, MessageIcon::Information,
                               MessageButtons::Ok};
        message.details = outcome_.details;
        host_.ShowMessage(message);
        return false;
    }

    bool StopRequested() {
        if (!context_.stopRequested.load()) {
            return false;
        }
        outcome_.result = TransferResult::Stopped;
        return true;
    }

    // The pages keep their values; only the list index that moves between the V1 and V2
    // lists is shifted so that it keeps its meaning.
    void OfferModeSwitch(const char* question, std::uint8_t pagerMode,
                         std::uint8_t (*shiftMessageNumberOrder)(std::uint8_t)) {
        const MessageAnswer answer = host_.ShowMessage(
            {question, kWriteCaption, MessageIcon::None, MessageButtons::OkCancel});
        if (answer != MessageAnswer::Ok) {
            return;
        }
        // The pages are reloaded from the settings in the new mode: what they show goes there
        // first, or the technician's edits would be lost.
        host_.StorePages();
        ShiftMessageNumberOrder(shiftMessageNumberOrder);
        context_.state.programmingMode.store(pagerMode);
        host_.RebuildTabs();
        host_.ShowSettings();
    }

    void ShiftMessageNumberOrder(std::uint8_t (*shift)(std::uint8_t)) {
        std::lock_guard lock(context_.dataMutex);
        auto& order = context_.settings.messageNumberOrder;
        order = shift(order);
    }

    bool GatherAndCheckCapcodes() {
        host_.GatherPages();
        const char* refusal = CapcodeRefusal();
        if (refusal == nullptr) {
            return true;
        }
        MessageRequest message{refusal, kWriteCaption, MessageIcon::Stop, MessageButtons::Ok};
        message.details = outcome_.details;
        host_.ShowMessage(message);
        return false;
    }

    // The message for the first row whose capcode the pager cannot take, or nullptr. An unused
    // row (capcode 0, disabled) is fine; a capcode 1..7 is refused even in a disabled row.
    const char* CapcodeRefusal() {
        std::lock_guard lock(context_.dataMutex);
        const PagerSettings& settings = context_.settings;
        for (int row = 0; row < PagerSettings::kCapcodes; ++row) {
            const std::uint32_t capcode = settings.capcodes[row];
            const std::string where =
                "Capcode " + std::to_string(row + 1) + " is " + std::to_string(capcode);
            if (capcode == 0 && settings.capcodeEnabled[row] != 0) {
                outcome_ =
                    TransferOutcome{TransferResult::CapcodeRefused,
                                    where + " but enabled; a pager takes capcodes 8 to 2097151."};
                return kCapcodeZeroText;
            }
            if (capcode != 0 && capcode < kMinimumCapcode) {
                outcome_ = TransferOutcome{
                    TransferResult::CapcodeRefused,
                    where + "; a pager takes capcodes 8 to 2097151 (0 marks a row not "
                            "in use)."};
                return kCapcodeBelowEightText;
            }
        }
        return nullptr;
    }

    // Takes the image as it is now: what the window does to the image from here on does not
    // change what reaches the pager.
    void Prepare(bool repair) {
        // Like a read, the bar runs from 0 to one less than the number of blocks.
        host_.SetProgressRange(0, static_cast<int>(BlockCount(regions_)) - 1);
        host_.SetProgressStep(1);
        // The repair write has taken up its request. A repair requested while a normal write
        // runs stays pending for the next write instead of being dropped here.
        if (repair) {
            context_.state.repairWriteRequest.store(kRepairIdle);
        }
        std::lock_guard lock(context_.dataMutex);
        *snapshot_ = context_.image;
    }

    bool WriteRegions() {
        for (const BlockRegion& region : regions_) {
            context_.transfer.address = region.start;
            for (std::uint32_t block = 0; block < region.blocks; ++block) {
                if (!WriteBlock(context_.transfer.address)) {
                    return false;
                }
                context_.transfer.address += kBlockSize;
            }
        }
        return true;
    }

    bool WriteBlock(std::uint32_t address) {
        if (StopRequested()) {
            outcome_.address = address;
            return false;
        }
        bool verified = false;
        if (!link_.WriteBlock(address, snapshot_->data() + address, verified)) {
            Failed(TransferResult::LinkFailed, link_.failureDetails(), address);
            return false;
        }
        host_.StepProgress();
        if (!verified) {
            Failed(TransferResult::BlockMismatch,
                   BlockMismatchText(address, snapshot_->data() + address,
                                     context_.transfer.reply.data() + kFrameHeaderSize),
                   address);
            ShowWriteError(kBlockMismatchText);
            return false;
        }
        ++outcome_.blocksWritten;
        return true;
    }

    void Failed(TransferResult result, std::string details, std::optional<std::uint32_t> address) {
        outcome_.result = result;
        outcome_.details = std::move(details);
        outcome_.address = address;
    }

    // Reads block 0 again: the pager must still answer with either identity. A failed send
    // has shown the USB error already and is followed by a write error of its own.
    bool FinalIdentityCheck() {
        if (StopRequested()) {
            return false;
        }
        link_.SetHeader(CradleProtocol::kRead, 0);
        if (!link_.SendRequest()) {
            Failed(TransferResult::FinalCheckFailed,
                   "The identity check after the last block: " + link_.failureDetails(), 0);
            ShowWriteError(kFinalSendErrorText);
            return false;
        }
        link_.ClearReply();
        if (!link_.ReceiveReply()) {
            Failed(TransferResult::FinalCheckFailed,
                   "The identity check after the last block: " + link_.failureDetails(), 0);
            ShowWriteError(kFinalReplyErrorText);
            return false;
        }
        const std::uint8_t* identity = context_.transfer.reply.data() + kFrameHeaderSize;
        if (CradleProtocol::ClassifyIdentity(identity) == PagerIdentity::Invalid) {
            Failed(TransferResult::FinalCheckFailed,
                   "The identity check after the last block found no pager. " +
                       IdentityText(identity),
                   0);
            ShowWriteError(kFinalReplyErrorText);
            return false;
        }
        return true;
    }

    void ShowWriteError(const char* text) {
        MessageRequest message{text, kWriteCaption, MessageIcon::Stop, MessageButtons::Ok};
        message.details = outcome_.details;
        host_.ShowMessage(message);
        host_.SetProgressPosition(0);
    }

    // Gives the next pager of a batch the next serial number, when the technician asked for it
    // and the full settings are in use.
    void AdvanceSerialNumber() {
        if (!context_.state.serialAutoIncrement.load() ||
            context_.state.tabLockState.load() != TabLockState::Unlocked) {
            return;
        }
        {
            std::lock_guard lock(context_.dataMutex);
            auto& serialNumber = context_.settings.serialNumber;
            serialNumber = ::AdvanceSerialNumber(serialNumber);
        }
        host_.LoadGeneralPage();
    }

    ProgrammerContext& context_;
    ProgrammingHost& host_;
    const Sleeper& sleep_;
    BusyFlagRelease& busy_;
    CradleProtocol link_;
    const std::array<BlockRegion, 3> regions_;
    std::unique_ptr<PagerImage> snapshot_ = std::make_unique<PagerImage>();
    TransferOutcome outcome_;
};

} // namespace

TransferOutcome RunWriteWorker(ProgrammerContext& context, ProgrammingHost& host,
                               const Sleeper& sleep) {
    BusyFlagRelease busy(context.state.busy);
    if (auto refusal = TransferCannotStart(context)) {
        return *refusal;
    }
    return WriteProcedure(context, host, sleep, busy).Run();
}
