#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// Takes Ctrl-C (SIGINT) and SIGTERM on a thread of its own and hands each one, counted from 1,
// to the handler, so a transfer can decide whether to stop at once or finish first. Construct
// it before any other thread starts: the signals are blocked in every thread started later.
class InterruptWatch {
public:
    using Handler = std::function<void(int count)>;

    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // Replaces the handler; without one an interrupt only counts.
    void SetHandler(Handler handler);
    int count() const { return count_.load(); }

private:
    void Watch();

    std::atomic<int> count_{0};
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    Handler handler_;
    std::thread thread_;
};
