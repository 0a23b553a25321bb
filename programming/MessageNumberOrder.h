#pragma once

#include <cstdint>

// "Message number order" is a list index. The V2 list puts "None" before the two V1 entries
// ("New->No.1", "Oldest->No.1"), so a mode switch shifts the index to keep the chosen entry.
// 255 means no entry was selected and stays so in either mode.
inline constexpr std::uint8_t kNoListSelection = 255;

inline std::uint8_t MessageNumberOrderForV2(std::uint8_t v1Index) {
    return v1Index == kNoListSelection ? v1Index : static_cast<std::uint8_t>(v1Index + 1);
}

// "None" has no V1 counterpart and becomes the first V1 entry.
inline std::uint8_t MessageNumberOrderForV1(std::uint8_t v2Index) {
    return v2Index == 0 || v2Index == kNoListSelection ? v2Index
                                                       : static_cast<std::uint8_t>(v2Index - 1);
}
