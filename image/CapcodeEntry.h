#pragma once

#include <array>
#include <cstdint>

// One four-byte capcode entry: the enable flag, the entry's own index and the 21-bit capcode,
// whose three lowest bits (the frame) sit beside its two highest in the second byte.
using CapcodeEntryBytes = std::array<std::uint8_t, 4>;

struct CapcodeEntry {
    bool enabled = false;
    std::uint32_t capcode = 0;
};

// Bits of the capcode above bit 20 are not stored.
CapcodeEntryBytes EncodeCapcodeEntry(int index, const CapcodeEntry& entry);

// The entry's index bits and the other bits of the first byte are ignored.
CapcodeEntry DecodeCapcodeEntry(const CapcodeEntryBytes& bytes);
