#include "InterruptWatch.h"

#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls

#include <ctime>
#include <mutex>

namespace {

sigset_t StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

InterruptWatch::InterruptWatch() {
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    thread_ = std::thread([this] { Watch(); });
}

InterruptWatch::~InterruptWatch() {
    stopping_.store(true);
    // Wakes the watch at once rather than at its next poll; it ignores a signal once stopping.
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
}

void InterruptWatch::SetHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void InterruptWatch::Watch() {
    const sigset_t signals = StopSignals();
    const timespec pollInterval{0, 50'000'000};
    while (!stopping_.load()) {
        if (sigtimedwait(&signals, nullptr, &pollInterval) <= 0 || stopping_.load()) {
            continue;
        }
        const int count = ++count_;
        std::lock_guard lock(mutex_);
        if (handler_) {
            handler_(count);
        }
    }
}
