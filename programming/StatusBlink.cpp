#include "programming/StatusBlink.h"

#include <thread>

Sleeper RealSleeper() {
    return [](std::chrono::milliseconds duration) { std::this_thread::sleep_for(duration); };
}

void BlinkStatus(ProgrammingHost& host, const Sleeper& sleep, const std::string& text,
                 const std::atomic<bool>& stopRequested) {
    for (int blink = 0; blink < kBlinkCount && !stopRequested.load(); ++blink) {
        host.SetStatusText(text);
        sleep(kBlinkHalfPeriod);
        host.SetStatusText("");
        sleep(kBlinkHalfPeriod);
    }
}
