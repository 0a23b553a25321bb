#include "programming/BusyFlagRelease.h"
#include "programming/ProgrammingTexts.h"
#include "programming/StatusBlink.h"
#include "programming/TransferWorkers.h"
#include "programming/transfer/PagerTransfer.h"

#include <memory>

namespace {

// One pass covers 138 blocks; the bar counts from 0 to 137 and is reset after each pass.
constexpr int kReadProgressMaximum = 137;

// The window's read: the pager read twice and accepted only when both passes agree, then the
// window follows the pager's generation.
class ReadProcedure {
public:
    ReadProcedure(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep)
        : context_(context), host_(host), sleep_(sleep), link_(*context.channel, context.transfer) {
    }

    TransferOutcome Run() {
        StartProgress();
        auto memory = std::make_unique<PagerImage>();
        TransferOutcome outcome = ReadPagerMemory(link_, *memory, Control());
        switch (outcome.result) {
        case TransferResult::LinkFailed:
            ReportLinkFailure(host_, outcome);
            return outcome;
        case TransferResult::PassesDiffer:
            ShowReadError(outcome);
            return outcome;
        case TransferResult::Done:
        case TransferResult::NoPager:
            break;
        default:
            return outcome;
        }
        {
            std::lock_guard lock(context_.dataMutex);
            context_.image = *memory;
        }
        if (!outcome.identity) {
            ShowReadError(outcome);
            return outcome;
        }
        FollowPagerGeneration(*outcome.identity);
        return outcome;
    }

private:
    void StartProgress() {
        host_.SetProgressRange(0, kReadProgressMaximum);
        host_.SetProgressStep(1);
    }

    TransferControl Control() {
        return {&context_.stopRequested, [this] { host_.StepProgress(); },
                [this] { host_.SetProgressPosition(0); }};
    }

    // A pager of the other generation switches the mode silently; one of the current
    // generation is confirmed by the blinking status.
    void FollowPagerGeneration(Generation pager) {
        const bool modeChanged = context_.state.programmingMode.exchange(pager) != pager;
        host_.DecodeImage();
        if (modeChanged) {
            host_.RebuildTabs();
            host_.ShowSettings();
            return;
        }
        host_.ShowSettings();
        BlinkStatus(host_, sleep_, kReadOkText, context_.stopRequested);
    }

    void ShowReadError(const TransferOutcome& outcome) {
        MessageRequest message{kReadErrorText, kReadCaption, MessageIcon::Stop, MessageButtons::Ok};
        message.details = outcome.details;
        host_.ShowMessage(message);
    }

    ProgrammerContext& context_;
    ProgrammingHost& host_;
    const Sleeper& sleep_;
    CradleProtocol link_;
};

} // namespace

void ReportLinkFailure(ProgrammingHost& host, const TransferOutcome& outcome) {
    host.EnableTransferButtons(false);
    MessageRequest message{kUsbErrorText, kLinkCaption, MessageIcon::Stop, MessageButtons::Ok};
    message.details = outcome.linkFailure ? outcome.linkFailure->Describe() : outcome.details;
    host.ShowMessage(message);
}

TransferOutcome RunReadWorker(ProgrammerContext& context, ProgrammingHost& host,
                              const Sleeper& sleep) {
    BusyFlagRelease busy(context.state.busy);
    if (auto refusal = TransferCannotStart(context)) {
        return *refusal;
    }
    return ReadProcedure(context, host, sleep).Run();
}
