#pragma once

#include <array>
#include <cstdint>

inline constexpr std::size_t kFrameSize = 36;
inline constexpr std::size_t kFrameHeaderSize = 4;
inline constexpr std::size_t kBlockSize = 32;

using Frame = std::array<std::uint8_t, kFrameSize>;

// The request and reply frames with the transfer bookkeeping, one set for the program.
// Only the single running worker uses them.
struct TransferState {
    Frame request{};
    Frame reply{};
    std::uint32_t transferred = 0;
    std::uint32_t address = 0;
};
