#pragma once

#include "programming/ProgrammerContext.h"
#include "programming/ProgrammingHost.h"
#include "programming/Sleeper.h"
#include "programming/transfer/TransferOutcome.h"

#include <atomic>
#include <thread>

// The two procedures, run on the calling thread. The caller has set the busy flag; both clear
// it on every way out. A successful write clears it before its last host call,
// IncrementCapcodes. The outcome repeats what the host was shown, for callers that act on it.
TransferOutcome RunReadWorker(ProgrammerContext& context, ProgrammingHost& host,
                              const Sleeper& sleep);
TransferOutcome RunWriteWorker(ProgrammerContext& context, ProgrammingHost& host,
                               const Sleeper& sleep);

// A failed exchange as the window shows it: Read and Write disabled, then the USB error with
// the exchange and its reason in the details.
void ReportLinkFailure(ProgrammingHost& host, const TransferOutcome& outcome);

// Why a procedure cannot begin (the program stops, or there is no channel), if it cannot.
std::optional<TransferOutcome> TransferCannotStart(const ProgrammerContext& context);

// Starts the procedures on a worker thread, one at a time. Start* run on the user-interface
// thread: they test and set the busy flag there and return false when a worker is running.
//
// Shutting down: the worker makes blocking calls into the window, so the user-interface thread
// must never block on the worker while it runs - Wait() or the destructor would deadlock as
// soon as the worker waits for its next host call. The window therefore refuses or defers
// closing while IsRunning() (which, unlike IsBusy(), also covers the write's last host call
// made after the busy flag is cleared), keeps serving host calls meanwhile, and calls Wait()
// once IsRunning() is false. When the program must go down during a transfer, BeginShutdown()
// first stops new workers and makes the running one end before its next use of the channel,
// the frames or the image; the window then waits, still serving host calls, until IsRunning()
// is false.
class TransferWorkers {
public:
    TransferWorkers(ProgrammerContext& context, ProgrammingHost& host,
                    Sleeper sleep = RealSleeper());
    // Waits for a running worker.
    ~TransferWorkers();
    TransferWorkers(const TransferWorkers&) = delete;
    TransferWorkers& operator=(const TransferWorkers&) = delete;

    bool StartRead();
    bool StartWrite();
    bool IsBusy() const;
    // True from a successful Start* until the worker thread has made its last host call.
    bool IsRunning() const;
    // No worker starts any more; a running worker stops at its next step.
    void BeginShutdown();
    // Joins the last worker thread, if any. Must not be called from a thread the worker is
    // blocked on.
    void Wait();

private:
    bool Start(TransferOutcome (*procedure)(ProgrammerContext&, ProgrammingHost&, const Sleeper&));

    ProgrammerContext& context_;
    ProgrammingHost& host_;
    Sleeper sleep_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};
