#pragma once

#include "image/PagerSettings.h"

#include <cstdint>
#include <optional>
#include <string>

// Capcodes a pager cannot take, found before anything is written.
struct CapcodeRefusal {
    enum class Problem {
        ZeroButEnabled, // capcode 0 in a row that is enabled
        BelowEight,     // capcode 1..7, in any row
    };
    Problem problem;
    int row; // 0-based
    std::uint32_t capcode;
    // "Capcode 2 is 5; a pager takes capcodes 8 to 2097151 (0 marks a row not in use)."
    std::string details;
};

// The first row whose capcode the pager cannot take, if any. An unused row (capcode 0,
// disabled) is fine.
std::optional<CapcodeRefusal> FindCapcodeRefusal(const PagerSettings& settings);
