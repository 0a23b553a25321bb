#pragma once

#include "image/PagerImage.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

// Programming modes: which pager generation the screens and the codec follow.
inline constexpr std::uint8_t kModeV1 = 0;
inline constexpr std::uint8_t kModeV2 = 1;

// The generation an image's identity bytes 0..3 name: "2011" V1, "W50C" V2, else none.
inline std::optional<std::uint8_t> ModeOfIdentity(const PagerImage& image) {
    if (std::equal(kIdentityV1.begin(), kIdentityV1.end(), image.begin())) {
        return kModeV1;
    }
    if (std::equal(kIdentityV2.begin(), kIdentityV2.end(), image.begin())) {
        return kModeV2;
    }
    return std::nullopt;
}

// "V1" or "V2", as messages, journals and listings name the generations.
inline const char* GenerationName(std::uint8_t mode) {
    return mode == kModeV1 ? "V1" : "V2";
}

enum class TabLockState : std::uint8_t {
    Locked = 16,
    UnlockRequested = 128,
    Unlocked = 32,
};

// Repair write request values.
inline constexpr std::uint8_t kRepairIdle = 0;
inline constexpr std::uint8_t kRepairRequested = 0xAA;
inline constexpr std::uint8_t kRepairUnderWay = 0xBB;

// Program state kept beside the image, never stored in it. The values the worker thread and
// the user-interface thread both touch are atomics so that every hand-over is defined.
struct ProgramState {
    std::atomic<std::uint8_t> programmingMode{kModeV2};
    std::atomic<TabLockState> tabLockState{TabLockState::Locked};
    std::atomic<bool> busy{false};
    std::atomic<std::uint8_t> repairWriteRequest{kRepairIdle};
    std::atomic<bool> serialWriteEnabled{false};
    std::atomic<bool> serialAutoIncrement{false};
    // Set once at start-up, before any worker exists.
    std::string workingDirectory;
};
