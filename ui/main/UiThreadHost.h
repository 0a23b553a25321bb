#pragma once

#include "programming/ProgrammingHost.h"

#include <QObject>
#include <QThread>

#include <utility>

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
    template <class Call> void Run(Call&& call) {
        if (QThread::currentThread() == context_.thread()) {
            call();
            return;
        }
        QMetaObject::invokeMethod(&context_, std::forward<Call>(call),
                                  Qt::BlockingQueuedConnection);
    }

    QObject& context_;
    ProgrammingHost& target_;
};
