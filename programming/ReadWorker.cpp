#include "programming/BlockRegions.h"
#include "programming/BusyFlagRelease.h"
#include "programming/ProgrammingTexts.h"
#include "programming/StatusBlink.h"
#include "programming/TransferDetails.h"
#include "programming/TransferWorkers.h"

#include "link/CradleProtocol.h"

#include <algorithm>
#include <memory>

namespace {

// One pass covers 138 blocks; the bar counts from 0 to 137 and is reset after each pass.
constexpr int kReadProgressMaximum = 137;

// Reads the pager twice and accepts the data only when both passes agree, then follows the
// pager's generation.
class ReadProcedure {
public:
    ReadProcedure(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep)
        : context_(context), host_(host), sleep_(sleep),
          link_(*context.channel, context.transfer, host) {}

    TransferOutcome Run() {
        StartProgress();
        context_.transfer.address = 0;
        // Both passes start zeroed, so the unread addresses are zero in the accepted image.
        auto passA = std::make_unique<PagerImage>();
        auto passB = std::make_unique<PagerImage>();
        passA->fill(0);
        passB->fill(0);

        if (!ReadPass(*passA)) {
            return outcome_;
        }
        host_.SetProgressPosition(0);
        if (!ReadPass(*passB)) {
            return outcome_;
        }
        host_.SetProgressPosition(0);

        const std::string difference = MemoryDifferenceText(*passA, *passB, kReadRegions,
                                                            "in the first pass", "in the second");
        if (!difference.empty()) {
            ShowReadError(TransferResult::PassesDiffer, "The two passes disagree: " + difference);
            return outcome_;
        }
        if (context_.stopRequested.load()) {
            outcome_.result = TransferResult::Stopped;
            return outcome_;
        }
        {
            std::lock_guard lock(context_.dataMutex);
            context_.image = *passB;
        }
        FollowPagerGeneration(passB->data());
        return outcome_;
    }

    // One pass into memory, without touching the image or the settings.
    TransferOutcome ReadBack(PagerImage& memory) {
        StartProgress();
        memory.fill(0);
        if (ReadPass(memory)) {
            host_.SetProgressPosition(0);
        }
        return outcome_;
    }

private:
    void StartProgress() {
        host_.SetProgressRange(0, kReadProgressMaximum);
        host_.SetProgressStep(1);
    }

    // Returns false when the link failed (the user has been told) or the program shuts down.
    bool ReadPass(PagerImage& pass) {
        for (const BlockRegion& region : kReadRegions) {
            context_.transfer.address = region.start;
            for (std::uint32_t block = 0; block < region.blocks; ++block) {
                if (context_.stopRequested.load()) {
                    outcome_.result = TransferResult::Stopped;
                    return false;
                }
                const std::uint32_t address = context_.transfer.address;
                if (!link_.ReadBlock(address)) {
                    outcome_ = TransferOutcome{TransferResult::LinkFailed, link_.failureDetails(),
                                               address};
                    return false;
                }
                const auto& reply = context_.transfer.reply;
                std::copy(reply.begin() + kFrameHeaderSize, reply.end(), pass.begin() + address);
                context_.transfer.address += kBlockSize;
                host_.StepProgress();
            }
        }
        return true;
    }

    // A pager of the other generation switches the mode silently; one of the current
    // generation is confirmed by the blinking status.
    void FollowPagerGeneration(const std::uint8_t* identityBytes) {
        const PagerIdentity identity = CradleProtocol::ClassifyIdentity(identityBytes);
        if (identity == PagerIdentity::Invalid) {
            ShowReadError(TransferResult::NoPager, IdentityText(identityBytes));
            return;
        }
        const std::uint8_t pagerMode = identity == PagerIdentity::V2 ? kModeV2 : kModeV1;
        const bool modeChanged = context_.state.programmingMode.exchange(pagerMode) != pagerMode;
        host_.DecodeImage();
        if (modeChanged) {
            host_.RebuildTabs();
            host_.ShowSettings();
            return;
        }
        host_.ShowSettings();
        BlinkStatus(host_, sleep_, kReadOkText, context_.stopRequested);
    }

    void ShowReadError(TransferResult result, std::string details) {
        outcome_ = TransferOutcome{result, std::move(details)};
        MessageRequest message{kReadErrorText, kReadCaption, MessageIcon::Stop, MessageButtons::Ok};
        message.details = outcome_.details;
        host_.ShowMessage(message);
    }

    ProgrammerContext& context_;
    ProgrammingHost& host_;
    const Sleeper& sleep_;
    CradleProtocol link_;
    TransferOutcome outcome_;
};

} // namespace

TransferOutcome RunReadWorker(ProgrammerContext& context, ProgrammingHost& host,
                              const Sleeper& sleep) {
    BusyFlagRelease busy(context.state.busy);
    if (auto refusal = TransferCannotStart(context)) {
        return *refusal;
    }
    return ReadProcedure(context, host, sleep).Run();
}

TransferOutcome ReadBackPager(ProgrammerContext& context, ProgrammingHost& host,
                              PagerImage& memory) {
    if (auto refusal = TransferCannotStart(context)) {
        return *refusal;
    }
    return ReadProcedure(context, host, RealSleeper()).ReadBack(memory);
}
