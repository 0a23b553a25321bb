#pragma once

#include "programming/ProgrammingHost.h"

#include <QObject>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

// Runs calls from other threads on the thread of a QObject, one at a time and in order, and
// makes each caller wait for its call. The hand-over is a queue behind a standard mutex, woken
// through a signal whose connection is made on the receiving thread: everything the caller wrote
// before the call is ordered before the call, and everything the call wrote before the caller
// goes on, also as a thread checker sees it (it cannot see the synchronisation inside Qt).
class UiCallQueue final : public QObject {
    Q_OBJECT
public:
    explicit UiCallQueue(QObject& context);
    // Answers every call still waiting without running it. Callers must have ended by then;
    // this only keeps a late one from waiting for ever.
    ~UiCallQueue() override;
    UiCallQueue(const UiCallQueue&) = delete;
    UiCallQueue& operator=(const UiCallQueue&) = delete;

    void RunAndWait(const std::function<void()>& call);

signals:
    void callQueued();

private:
    struct Pending {
        const std::function<void()>* call;
        bool done = false;
    };
    void RunNext();

    std::mutex mutex_;
    std::condition_variable finished_;
    std::deque<Pending*> pending_;
    bool closed_ = false;
};

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
    UiThreadHost(QObject& context, ProgrammingHost& target) : queue_(context), target_(target) {}

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
    void StorePages() override {
        Run([&] { target_.StorePages(); });
    }
    void LoadGeneralPage() override {
        Run([&] { target_.LoadGeneralPage(); });
    }
    void IncrementCapcodes() override {
        Run([&] { target_.IncrementCapcodes(); });
    }

private:
    template <class Call> void Run(Call&& call) {
        if (QThread::currentThread() == queue_.thread()) {
            call();
            return;
        }
        queue_.RunAndWait(std::function<void()>(std::forward<Call>(call)));
    }

    UiCallQueue queue_;
    ProgrammingHost& target_;
};
