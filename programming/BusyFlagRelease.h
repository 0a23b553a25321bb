#pragma once

#include <atomic>

// Clears the busy flag when the worker leaves, whichever way it leaves. A successful write
// clears it early, before its last call to the window.
class BusyFlagRelease {
public:
    explicit BusyFlagRelease(std::atomic<bool>& busy) : busy_(busy) {}
    ~BusyFlagRelease() { Release(); }
    BusyFlagRelease(const BusyFlagRelease&) = delete;
    BusyFlagRelease& operator=(const BusyFlagRelease&) = delete;

    void Release() { busy_.store(false); }

private:
    std::atomic<bool>& busy_;
};
