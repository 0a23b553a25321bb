#include "programming/TransferDetails.h"

#include "link/LinkFailure.h"
#include "link/TransferState.h"

#include <cstdio>

namespace {

constexpr int kListedDifferences = 4;

} // namespace

std::string HexText(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

std::string MemoryDifferenceText(const PagerImage& first, const PagerImage& second,
                                 std::span<const BlockRegion> regions, const char* firstName,
                                 const char* secondName) {
    std::string text;
    int listed = 0;
    int total = 0;
    for (const BlockRegion& region : regions) {
        const std::uint32_t end = region.start + region.blocks * kBlockSize;
        for (std::uint32_t address = region.start; address < end; ++address) {
            if (first[address] == second[address])
                continue;
            ++total;
            if (listed == kListedDifferences)
                continue;
            text += listed++ == 0 ? "" : "; ";
            text += "address " + HexText(address, 4) + " (" + std::to_string(address) +
                    "): " + HexText(first[address], 2) + " " + firstName + ", " +
                    HexText(second[address], 2) + " " + secondName;
        }
    }
    if (total == 0)
        return {};
    const std::string count =
        total == 1 ? "1 byte differs" : std::to_string(total) + " bytes differ";
    return count + ", first at " + text + ".";
}

std::string IdentityText(const std::uint8_t* fourBytes) {
    std::string text = "The identity bytes are";
    for (int i = 0; i < 4; ++i)
        text += " " + HexText(fourBytes[i], 2);
    return text + "; a V1 pager has \"2011\", a V2 pager \"W50C\".";
}

std::string BlockMismatchText(std::uint32_t address, const std::uint8_t* sent,
                              const std::uint8_t* echoed) {
    std::uint32_t offset = 0;
    while (offset + 1 < kBlockSize && sent[offset] == echoed[offset])
        ++offset;
    const std::uint32_t byte = address + offset;
    return "Writing " + DescribeBlock(address) + ": byte " + HexText(byte, 4) + " (" +
           std::to_string(byte) + ") was sent as " + HexText(sent[offset], 2) +
           " and came back as " + HexText(echoed[offset], 2) + ".";
}
