#pragma once

#include "programming/ProgrammerContext.h"
#include "programming/ProgrammingHost.h"

#include <chrono>
#include <functional>
#include <thread>

// Waits between the blinks of the status box; tests pass one that returns at once.
using Sleeper = std::function<void(std::chrono::milliseconds)>;
Sleeper RealSleeper();

// The two procedures, run on the calling thread. The caller has set the busy flag; both clear
// it on every way out.
void RunReadWorker(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep);
void RunWriteWorker(ProgrammerContext& context, ProgrammingHost& host, const Sleeper& sleep);

// Starts the procedures on a worker thread, one at a time. Start* run on the user-interface
// thread: they test and set the busy flag there and return false when a worker is running.
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
    // Joins the last worker thread, if any. Must not be called from a thread the worker is
    // blocked on.
    void Wait();

private:
    bool Start(void (*procedure)(ProgrammerContext&, ProgrammingHost&, const Sleeper&));

    ProgrammerContext& context_;
    ProgrammingHost& host_;
    Sleeper sleep_;
    std::thread worker_;
};
