#include "programming/CapcodeIncrement.h"

#include "image/PagerSettings.h"

#include <algorithm>

std::uint8_t UsableIncrementStep(std::uint8_t stepIndex) {
    return stepIndex < kAutoIncrementStepCount ? stepIndex : 0;
}

IncrementedCapcode IncrementCapcode(std::uint32_t capcode, std::uint8_t stepIndex) {
    const std::int64_t advanced = static_cast<std::int64_t>(capcode) +
                                  kAutoIncrementSteps[UsableIncrementStep(stepIndex)].delta;
    const auto result =
        static_cast<std::uint64_t>(std::max<std::int64_t>(advanced, kLowestCapcode));
    return {result, result > PagerSettings::kCapcodeMax};
}
