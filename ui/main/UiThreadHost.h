#pragma once

#include "programming/ProgrammingHost.h"

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <memory>
#include <mutex>

// Hands every call of a read or write worker to the user-interface thread and waits for it, so
// the window's operations run there, one at a time, in the order the worker made them. A call
// made on the user-interface thread itself runs directly.
//
// The user-interface thread must keep its event loop running while a worker may call: it never
// blocks on the worker (see TransferWorkers).
class UiThreadHost final : public ProgrammingHost {
public:
    // Calls run in the thread of `context` (the window) and go to `target`.
    // `context` outlives every worker that calls (the window waits for its worker).
    UiThreadHost(QObject& context, ProgrammingHost& target) : context_(context), target_(target) {}

    void EnableTransferButtons(bool enabled) override {
        Run([&] { target_.EnableTransferButtons(enabled); });
    }
    MessageAnswer ShowMessage(const MessageRequest& request) override {
        MessageAnswer answer = MessageAnswer::Cancel;
        Run([&] { answer = target_.ShowMessage(request); });
        return answer;
    }
    void SetStatusText(const std::string& text) override {
        Run([&] { target_.SetStatusText(text); });
    }
    void SetProgressRange(int minimum, int maximum) override {
        Run([&] { target_.SetProgressRange(minimum, maximum); });
    }
    void SetProgressStep(int step) override {
        Run([&] { target_.SetProgressStep(step); });
    }
    void SetProgressPosition(int position) override {
        Run([&] { target_.SetProgressPosition(position); });
    }
    void StepProgress() override {
        Run([&] { target_.StepProgress(); });
    }
    void DecodeImage() override {
        Run([&] { target_.DecodeImage(); });
    }
    void RebuildTabs() override {
        Run([&] { target_.RebuildTabs(); });
    }
    void ShowSettings() override {
        Run([&] { target_.ShowSettings(); });
    }
    void GatherPages() override {
        Run([&] { target_.GatherPages(); });
    }
    void LoadGeneralPage() override {
        Run([&] { target_.LoadGeneralPage(); });
    }
    void IncrementCapcodes() override {
        Run([&] { target_.IncrementCapcodes(); });
    }

private:
    // The hand-over goes through a standard mutex rather than only Qt's blocking queue, so that
    // everything the worker wrote before the call is ordered before the call, and everything
    // the call wrote before the worker goes on - visibly also to a thread checker, which cannot
    // see the synchronisation inside the Qt libraries. The worker wakes when the queued call is
    // destroyed: after it ran, or without running when the window went away first.
    template <class Call> void Run(Call&& call) {
        if (QThread::currentThread() == context_.thread()) {
            call();
            return;
        }
        Handover handover;
        std::unique_lock lock(handover.mutex);
        auto wake = std::make_shared<WakeOnDestroy>(handover);
        QMetaObject::invokeMethod(
            &context_,
            [&handover, &call, wake = std::move(wake)] {
                std::lock_guard callLock(handover.mutex);
                call();
            },
            Qt::QueuedConnection);
        handover.finished.wait(lock, [&] { return handover.done; });
    }

    struct Handover {
        std::mutex mutex;
        std::condition_variable finished;
        bool done = false;
    };
    struct WakeOnDestroy {
        explicit WakeOnDestroy(Handover& handover) : handover(handover) {}
        ~WakeOnDestroy() {
            std::lock_guard lock(handover.mutex);
            handover.done = true;
            handover.finished.notify_one();
        }
        WakeOnDestroy(const WakeOnDestroy&) = delete;
        WakeOnDestroy& operator=(const WakeOnDestroy&) = delete;
        Handover& handover;
    };

    QObject& context_;
    ProgrammingHost& target_;
};
