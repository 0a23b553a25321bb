#pragma once

#include "image/PagerImage.h"

#include <algorithm>
#include <cstdint>
#include <optional>

// The two pager generations. The values are the programming mode's: 0 is "V1 mode" and 1 is
// "V2 mode", as the window and the settings files' "programmingMode" key count them.
enum class Generation : std::uint8_t { V1 = 0, V2 = 1 };

// The identity a pager of the generation carries in bytes 0..3: "2011" V1, "W50C" V2.
inline constexpr const std::array<std::uint8_t, 4>& IdentityOf(Generation generation) {
    return generation == Generation::V1 ? kIdentityV1 : kIdentityV2;
}

// The generation four identity bytes name, if any; the comparison is byte-exact.
inline std::optional<Generation> GenerationOfIdentity(const std::uint8_t* fourBytes) {
    for (const Generation generation : {Generation::V2, Generation::V1}) {
        const auto& identity = IdentityOf(generation);
        if (std::equal(identity.begin(), identity.end(), fourBytes)) {
            return generation;
        }
    }
    return std::nullopt;
}

inline std::optional<Generation> GenerationOfImage(const PagerImage& image) {
    return GenerationOfIdentity(image.data());
}

// "V1" or "V2", as messages, journals and listings name the generations.
inline constexpr const char* GenerationName(Generation generation) {
    return generation == Generation::V1 ? "V1" : "V2";
}

// The programming mode's number for the generation, and back (none for other numbers).
inline constexpr std::uint8_t ModeNumber(Generation generation) {
    return static_cast<std::uint8_t>(generation);
}
inline constexpr std::optional<Generation> GenerationOfModeNumber(std::uint64_t number) {
    if (number > ModeNumber(Generation::V2)) {
        return std::nullopt;
    }
    return static_cast<Generation>(number);
}
