#pragma once

#include "image/Generation.h"

#include <atomic>
#include <cstdint>
#include <string>

// The window's state beside the image, never stored in it. The values the worker thread and
// the user-interface thread both touch are atomics so that every hand-over is defined.

enum class TabLockState : std::uint8_t {
    Locked = 16,
    UnlockRequested = 128,
    Unlocked = 32,
};

// Repair write request values.
inline constexpr std::uint8_t kRepairIdle = 0;
inline constexpr std::uint8_t kRepairRequested = 0xAA;
inline constexpr std::uint8_t kRepairUnderWay = 0xBB;

struct ProgramState {
    // Which generation the screens and the codec follow; "V2 mode" at start.
    std::atomic<Generation> programmingMode{Generation::V2};
    std::atomic<TabLockState> tabLockState{TabLockState::Locked};
    std::atomic<bool> busy{false};
    std::atomic<std::uint8_t> repairWriteRequest{kRepairIdle};
    std::atomic<bool> serialWriteEnabled{false};
    std::atomic<bool> serialAutoIncrement{false};
    // Set once at start-up, before any worker exists.
    std::string workingDirectory;
};
