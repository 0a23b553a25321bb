#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// The pager's configuration memory as the tool holds it: pager address A is byte A.
inline constexpr std::size_t kImageSize = 8192;
using PagerImage = std::array<std::uint8_t, kImageSize>;

// Identities in bytes 0..3 that name the pager generation.
inline constexpr std::array<std::uint8_t, 4> kIdentityV1{'2', '0', '1', '1'};
inline constexpr std::array<std::uint8_t, 4> kIdentityV2{'W', '5', '0', 'C'};
