#include "programming/TransferWorkers.h"

#include <system_error>

TransferWorkers::TransferWorkers(ProgrammerContext& context, ProgrammingHost& host, Sleeper sleep)
    : context_(context), host_(host), sleep_(std::move(sleep)) {}

TransferWorkers::~TransferWorkers() {
    Wait();
}

bool TransferWorkers::StartRead() {
    return Start(&RunReadWorker);
}

bool TransferWorkers::StartWrite() {
    return Start(&RunWriteWorker);
}

bool TransferWorkers::IsBusy() const {
    return context_.state.busy.load();
}

bool TransferWorkers::IsRunning() const {
    return running_.load();
}

void TransferWorkers::BeginShutdown() {
    context_.stopRequested.store(true);
}

void TransferWorkers::Wait() {
    if (worker_.joinable()) {
        worker_.join();
    }
}

std::optional<TransferOutcome> TransferCannotStart(const ProgrammerContext& context) {
    if (context.stopRequested.load()) {
        return TransferOutcome{TransferResult::Stopped};
    }
    if (!context.channel) {
        return TransferOutcome{TransferResult::LinkFailed, "No cradle channel."};
    }
    return std::nullopt;
}

bool TransferWorkers::Start(TransferOutcome (*procedure)(ProgrammerContext&, ProgrammingHost&,
                                                         const Sleeper&)) {
    // A write that has cleared the busy flag may still be in its last host call; the next
    // worker waits for it so that two workers never overlap.
    if (context_.stopRequested.load() || running_.load()) {
        return false;
    }
    if (context_.state.busy.exchange(true)) {
        return false;
    }
    // The previous thread has finished its procedure; joining it returns at once.
    Wait();
    running_.store(true);
    try {
        worker_ = std::thread([this, procedure] {
            procedure(context_, host_, sleep_);
            running_.store(false);
        });
    } catch (const std::system_error&) {
        running_.store(false);
        context_.state.busy.store(false);
        return false;
    }
    return true;
}
