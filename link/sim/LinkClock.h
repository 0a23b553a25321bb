#pragma once

#include <atomic>
#include <chrono>

// Time as the simulated link sees it. Simulated cradles wait on this clock instead of the wall
// clock, so tests can run thousands of timed-out exchanges without sleeping.
class LinkClock {
public:
    using Duration = std::chrono::microseconds;

    virtual ~LinkClock() = default;
    virtual Duration Now() const = 0;
    virtual void SleepFor(Duration duration) = 0;
};

// Advances instantly: SleepFor only moves Now() forward.
class VirtualLinkClock : public LinkClock {
public:
    Duration Now() const override { return Duration(now_.load()); }
    void SleepFor(Duration duration) override {
        if (duration.count() > 0)
            now_ += duration.count();
    }

private:
    std::atomic<Duration::rep> now_ = 0;
};

// Really sleeps, for benchmarks and manual runs.
class SteadyLinkClock : public LinkClock {
public:
    Duration Now() const override;
    void SleepFor(Duration duration) override;
};
