#include "programming/transfer/TransferDetails.h"

#include "link/LinkFailure.h"
#include "link/TransferState.h"

#include <cstdio>

namespace {

constexpr std::size_t kListedDifferences = 4;

} // namespace

std::string HexText(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

MemoryDifferences FindDifferences(const PagerImage& first, const PagerImage& second,
                                  std::span<const BlockRegion> regions) {
    MemoryDifferences differences;
    for (const BlockRegion& region : regions) {
        const std::uint32_t end = region.start + region.blocks * kBlockSize;
        for (std::uint32_t address = region.start; address < end; ++address) {
            if (first[address] == second[address])
                continue;
            ++differences.total;
            if (differences.first.size() < kListedDifferences)
                differences.first.push_back({address, first[address], second[address]});
        }
    }
    return differences;
}

std::string DifferencesText(const MemoryDifferences& differences, const char* firstName,
                            const char* secondName) {
    if (differences.total == 0)
        return {};
    std::string text;
    for (const ByteDifference& difference : differences.first) {
        text += text.empty() ? "" : "; ";
        text += "address " + HexText(difference.address, 4) + " (" +
                std::to_string(difference.address) + "): " + HexText(difference.first, 2) + " " +
                firstName + ", " + HexText(difference.second, 2) + " " + secondName;
    }
    const std::string count = differences.total == 1
                                  ? "1 byte differs"
                                  : std::to_string(differences.total) + " bytes differ";
    return count + ", first at " + text + ".";
}

std::string IdentityText(const std::uint8_t* fourBytes) {
    std::string text = "The identity bytes are";
    for (int i = 0; i < 4; ++i)
        text += " " + HexText(fourBytes[i], 2);
    return text + "; a V1 pager has \"2011\", a V2 pager \"W50C\".";
}

std::string OtherGenerationText(Generation pager, Generation settings) {
    const auto& identity = IdentityOf(pager);
    return std::string("The pager in the cradle is a ") + GenerationName(pager) + " pager (\"" +
           std::string(identity.begin(), identity.end()) + "\"); the settings are for " +
           GenerationName(settings) + ".";
}

EchoMismatch FindEchoMismatch(std::uint32_t address, const std::uint8_t* sent,
                              const std::uint8_t* echoed) {
    std::uint32_t offset = 0;
    while (offset + 1 < kBlockSize && sent[offset] == echoed[offset])
        ++offset;
    return {address, address + offset, sent[offset], echoed[offset]};
}

std::string EchoMismatchText(const EchoMismatch& mismatch) {
    return "Writing " + DescribeBlock(mismatch.block) + ": byte " + HexText(mismatch.byte, 4) +
           " (" + std::to_string(mismatch.byte) + ") was sent as " + HexText(mismatch.sent, 2) +
           " and came back as " + HexText(mismatch.echoed, 2) + ".";
}
