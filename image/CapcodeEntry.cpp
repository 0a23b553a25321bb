#include "image/CapcodeEntry.h"

namespace {
constexpr std::uint8_t kEnabled = 0x61;
constexpr std::uint8_t kDisabled = 0x60;
} // namespace

CapcodeEntryBytes EncodeCapcodeEntry(int index, const CapcodeEntry& entry) {
    const std::uint32_t value = entry.capcode;
    return {
        entry.enabled ? kEnabled : kDisabled,
        static_cast<std::uint8_t>(((index & 7) << 5) | ((value & 7) << 2) | ((value >> 19) & 3)),
        static_cast<std::uint8_t>((value >> 11) & 0xFF),
        static_cast<std::uint8_t>((value >> 3) & 0xFF),
    };
}

CapcodeEntry DecodeCapcodeEntry(const CapcodeEntryBytes& bytes) {
    const std::uint32_t b1 = bytes[1];
    const std::uint32_t high = ((b1 & 3) << 16) | (std::uint32_t{bytes[2]} << 8) | bytes[3];
    return {(bytes[0] & 1) != 0, ((b1 >> 2) & 7) | (high << 3)};
}
