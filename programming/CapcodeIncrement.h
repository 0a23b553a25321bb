#pragma once

#include <cstdint>
#include <iterator>

// One choice of the "Auto Increment" list: its item text and what it adds to the capcode.
struct AutoIncrementStep {
    const char* item;
    int delta;
};

// The "Auto Increment" list, in item order; a row's `autoIncrementStep` indexes it.
inline constexpr AutoIncrementStep kAutoIncrementSteps[] = {
    {"0", 0}, {"+8", 8}, {"-8", -8}, {"+1", 1}, {"-1", -1},
};
inline constexpr std::uint8_t kAutoIncrementStepCount = std::size(kAutoIncrementSteps);

// The lowest capcode a pager takes; 0 marks a row that is not in use.
inline constexpr std::uint32_t kLowestCapcode = 8;

// The step a row's increment uses: a list without selection (255) or an index beyond the list
// counts as step "0".
std::uint8_t UsableIncrementStep(std::uint8_t stepIndex);

struct IncrementedCapcode {
    // The capcode plus its step, raised to 8 when it came out lower. It may lie beyond the
    // largest capcode, where the window shows its range message and puts 8 instead.
    std::uint64_t capcode = 0;
    bool beyondLargest = false;
};

// One row's capcode after one increment by its "Auto Increment" choice.
IncrementedCapcode IncrementCapcode(std::uint32_t capcode, std::uint8_t stepIndex);
