#include "programming/BlockRegions.h"
#include "programming/BusyFlagRelease.h"
#include "programming/ProgrammingTexts.h"
#include "programming/StatusBlink.h"
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

    void Run() {
        host_.SetProgressRange(0, kReadProgressMaximum);
        host_.SetProgressStep(1);
        context_.transfer.address = 0;
        // Both passes start zeroed, so the unread addresses are zero in the accepted image.
        auto passA = std::make_unique<PagerImage>();
        auto passB = std::make_unique<PagerImage>();
        passA->fill(0);
        passB->fill(0);

        if (!ReadPass(*passA)) {
            return;
        }
        host_.SetProgressPosition(0);
        if (!ReadPass(*passB)) {
            return;
        }
        host_.SetProgressPosition(0);

        if (!PassesAgree(*passA, *passB)) {
            ShowReadError();
            return;
        }
        if (context_.stopRequested.load()) {
            return;
        }
        {
            std::lock_guard lock(context_.dataMutex);
            context_.image = *passB;
        }
        FollowPagerGeneration(CradleProtocol::ClassifyIdentity(passB->data()));
    }

private:
    // Returns false when the link failed (the user has been told) or the program shuts down.
    bool ReadPass(PagerImage& pass) {
        for (const BlockRegion& region : kReadRegions) {
            context_.transfer.address = region.start;
            for (std::uint32_t block = 0; block < region.blocks; ++block) {
                if (context_.stopRequested.load()) {
                    return false;
                }
                const std::uint32_t address = context_.transfer.address;
                if (!link_.ReadBlock(address)) {
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

    static bool PassesAgree(const PagerImage& passA, const PagerImage& passB) {
        return std::ranges::all_of(kReadRegions, [&](const BlockRegion& region) {
            const auto begin = region.start;
            const auto end = region.start + region.blocks * kBlockSize;
            return std::equal(passA.begin() + begin, passA.begin() + end, passB.begin() + begin);
        });
    }

    // A pager of the other generation switches the mode silently; one of the current
    // generation is confirmed by the blinking status.
    void FollowPagerGeneration(PagerIdentity identity) {
        if (identity == PagerIdentity::Invalid) {
            ShowReadError();
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

    void ShowReadError() {
        host_.ShowMessage({kReadErrorText, kReadCaption, MessageIcon::Stop, MessageButtons::Ok});
    }

    ProgrammerContext& context_;
    ProgrammingHost& host_;
    const Sleeper& sleep_;
    CradleProtocol link_;
};

} // namespace

void RunReadWorker(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep) {
    BusyFlagRelease busy(context.state.busy);
    if (context.stopRequested.load() || !context.channel) {
        return;
    }
    ReadProcedure(context, host, sleep).Run();
}
