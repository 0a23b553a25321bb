#include "link/sim/LinkClock.h"

#include <thread>

LinkClock::Duration SteadyLinkClock::Now() const {
    return std::chrono::duration_cast<Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyLinkClock::SleepFor(Duration duration) {
    if (duration.count() > 0)
        std::this_thread::sleep_for(duration);
}
