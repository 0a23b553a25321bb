#pragma once

#include "programming/ProgrammingHost.h"
#include "programming/Sleeper.h"

#include <atomic>
#include <chrono>
#include <string>

inline constexpr int kBlinkCount = 6;
inline constexpr std::chrono::milliseconds kBlinkHalfPeriod{200};

// Shows text in the status box six times, 200 ms on and 200 ms off. Stops early when the
// program shuts down.
void BlinkStatus(ProgrammingHost& host, const Sleeper& sleep, const std::string& text,
                 const std::atomic<bool>& stopRequested);
