#pragma once

#include <chrono>
#include <functional>

// Waits between the blinks of the status box; tests pass one that returns at once.
using Sleeper = std::function<void(std::chrono::milliseconds)>;
Sleeper RealSleeper();
