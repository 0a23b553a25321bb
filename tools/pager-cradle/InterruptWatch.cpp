#include "InterruptWatch.h"

#include <signal.h> // NOLINT(modernize-deprecated-headers): POSIX signal calls

#include <ctime>
#include <mutex>

namespace {

// The watch's own wake-up when the program ends; it is never counted.
constexpr int kWakeSignal = SIGUSR1;

sigset_t WatchedSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, kWakeSignal);
    return signals;
}

} // namespace

InterruptWatch::InterruptWatch() {
    const sigset_t signals = WatchedSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    thread_ = std::thread([this] { Watch(); });
}

InterruptWatch::~InterruptWatch() {
    stopping_.store(true);
    // Wakes the watch at once rather than at its next poll.
    pthread_kill(thread_.native_handle(), kWakeSignal);
    thread_.join();
}

void InterruptWatch::SetHandler(Handler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void InterruptWatch::Watch() {
    const sigset_t signals = WatchedSignals();
    const timespec pollInterval{0, 50'000'000};
    while (!stopping_.load()) {
        const int signal = sigtimedwait(&signals, nullptr, &pollInterval);
        if (signal <= 0 || signal == kWakeSignal) {
            continue;
        }
        const int interrupts = ++count_;
        std::lock_guard lock(mutex_);
        if (handler_) {
            handler_(interrupts);
        }
    }
}
