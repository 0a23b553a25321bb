#pragma once

#include <functional>

// Runs the event loop until the condition holds or the time is up, and says whether it holds.
// The loop sleeps until the next event, so every call a worker hands over is served at once
// (polling with pauses would make a read take seconds).
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 5000);
