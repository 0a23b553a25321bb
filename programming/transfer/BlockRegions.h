#pragma once

#include "link/TransferState.h"

#include <array>
#include <cstdint>

// A run of consecutive 32-byte blocks of pager memory.
struct BlockRegion {
    std::uint32_t start;
    std::uint32_t blocks;
};

// The pager memory the tool reads: the settings blocks and the canned-message texts.
inline constexpr BlockRegion kReadRegions[] = {{0, 10}, {1024, 128}};

// What a write sends after the settings blocks: the auto-increment block at 288, then the
// canned-message texts. The settings blocks run from 0 and include the serial-number block at
// 256 only while writing the serial number is enabled.
inline constexpr std::uint32_t kSettingsBlocks = 8;
inline constexpr std::uint32_t kSettingsBlocksWithSerial = 9;
inline constexpr BlockRegion kIncrementStepRegion{288, 1};
inline constexpr BlockRegion kCannedTextRegion{1024, 128};

// What a write sends, in order.
inline constexpr std::array<BlockRegion, 3> WrittenRegions(bool withSerialNumber) {
    return {BlockRegion{0, withSerialNumber ? kSettingsBlocksWithSerial : kSettingsBlocks},
            kIncrementStepRegion, kCannedTextRegion};
}

inline constexpr std::uint32_t BlockCount(const std::array<BlockRegion, 3>& regions) {
    return regions[0].blocks + regions[1].blocks + regions[2].blocks;
}
