#include "programming/BusyFlagRelease.h"
#include "programming/CapcodeCheck.h"
#include "programming/MessageNumberOrder.h"
#include "programming/ProgrammingTexts.h"
#include "programming/SerialNumber.h"
#include "programming/StatusBlink.h"
#include "programming/TransferWorkers.h"
#include "programming/transfer/BlockRegions.h"
#include "programming/transfer/PagerTransfer.h"
#include "programming/transfer/TransferDetails.h"

#include <memory>

namespace {

// The window's write: the pager's generation checked, the pages gathered and the capcodes
// checked, the image written block by block with every block verified, and then the numbers
// prepared for the next pager of a batch.
class WriteProcedure {
public:
    WriteProcedure(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep,
                   BusyFlagRelease& busy)
        : context_(context), host_(host), sleep_(sleep), busy_(busy),
          link_(*context.channel, context.transfer),
          withSerialNumber_(context.state.serialWriteEnabled.load()) {}

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
        if (!WriteSnapshot()) {
            return outcome_;
        }
        host_.SetProgressPosition(0);
        BlinkStatus(host_, sleep_, kWriteOkText, context_.stopRequested);
        // Every block is in the pager; only the preparation for the next pager is left out.
        if (context_.stopRequested.load()) {
            return outcome_;
        }
        // A repaired pager holds the repair image's numbers, not the pages': nothing advances,
        // and the General page keeps what it shows.
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
        outcome_ = IdentifyPager(link_, Control());
        if (outcome_.result == TransferResult::LinkFailed) {
            ReportLinkFailure(host_, outcome_);
            return false;
        }
        if (outcome_.result == TransferResult::NoPager) {
            MessageRequest message{kNoPagerText, kWriteCaption, MessageIcon::Information,
                                   MessageButtons::Ok};
            message.details = outcome_.details;
            host_.ShowMessage(message);
            return false;
        }
        if (!outcome_.ok()) {
            return false;
        }
        const Generation pager = *outcome_.identity;
        const Generation mode = context_.state.programmingMode.load();
        if (pager == mode) {
            return true;
        }
        outcome_.result = TransferResult::OtherGeneration;
        outcome_.details = OtherGenerationText(pager, mode);
        if (pager == Generation::V2) {
            OfferModeSwitch(kV2PagerQuestion, pager, MessageNumberOrderForV2);
        } else {
            OfferModeSwitch(kV1PagerQuestion, pager, MessageNumberOrderForV1);
        }
        return false;
    }

    bool StopRequested() {
        if (!context_.stopRequested.load()) {
            return false;
        }
        outcome_.result = TransferResult::Stopped;
        return true;
    }

    TransferControl Control() {
        return {&context_.stopRequested, [this] { host_.StepProgress(); }, {}};
    }

    // The pages keep their values; only the list index that moves between the V1 and V2
    // lists is shifted so that it keeps its meaning.
    void OfferModeSwitch(const char* question, Generation pager,
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
        context_.state.programmingMode.store(pager);
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
        std::optional<CapcodeRefusal> refusal;
        {
            std::lock_guard lock(context_.dataMutex);
            refusal = FindCapcodeRefusal(context_.settings);
        }
        if (!refusal) {
            return true;
        }
        outcome_ = TransferOutcome{TransferResult::CapcodeRefused, refusal->details};
        const bool zero = refusal->problem == CapcodeRefusal::Problem::ZeroButEnabled;
        MessageRequest message{zero ? kCapcodeZeroText : kCapcodeBelowEightText, kWriteCaption,
                               MessageIcon::Stop, MessageButtons::Ok};
        message.details = outcome_.details;
        host_.ShowMessage(message);
        return false;
    }

    // Takes the image as it is now: what the window does to the image from here on does not
    // change what reaches the pager.
    void Prepare(bool repair) {
        // Like a read, the bar runs from 0 to one less than the number of blocks.
        host_.SetProgressRange(0, static_cast<int>(WriteBlockCount(withSerialNumber_)) - 1);
        host_.SetProgressStep(1);
        // The repair write has taken up its request. A repair requested while a normal write
        // runs stays pending for the next write instead of being dropped here.
        if (repair) {
            context_.state.repairWriteRequest.store(kRepairIdle);
        }
        std::lock_guard lock(context_.dataMutex);
        *snapshot_ = context_.image;
    }

    // Writes the snapshot and tells the user how a failure ended.
    bool WriteSnapshot() {
        outcome_ = WriteImage(link_, *snapshot_, withSerialNumber_, Control());
        switch (outcome_.result) {
        case TransferResult::Done:
            return true;
        case TransferResult::LinkFailed:
            ReportLinkFailure(host_, outcome_);
            break;
        case TransferResult::BlockMismatch:
            ShowWriteError(kBlockMismatchText);
            break;
        case TransferResult::FinalCheckFailed:
            // A failed exchange has its USB error first, then the write error of its step.
            if (!outcome_.linkFailure) {
                ShowWriteError(kFinalReplyErrorText);
                break;
            }
            ReportLinkFailure(host_, outcome_);
            ShowWriteError(outcome_.linkFailure->step == LinkFailure::Step::Request
                               ? kFinalSendErrorText
                               : kFinalReplyErrorText);
            break;
        default:
            break;
        }
        return false;
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
    const bool withSerialNumber_;
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
