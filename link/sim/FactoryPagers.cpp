#include "link/sim/FactoryPagers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>

namespace {

struct FactoryByte {
    std::size_t address;
    std::uint8_t value;
};

// Option bytes both generations share in their factory state.
constexpr FactoryByte kCommonBytes[] = {
    {4, 0x80},   {8, 0x1C},  {9, 0x04},  {20, 4},    {21, 4},     {32, 40},    {34, 32},
    {36, 0xF0},  {96, 10},   {98, 8},    {100, 22},  {160, 0x41}, {161, 0x28}, {162, 0x00},
    {163, 0xF8}, {13, 0x00}, {14, 0xCD}, {15, 0x60}, {16, 0x05},  {17, 0x00},
};
constexpr FactoryByte kV1Bytes[] = {{6, 0x01}, {33, 10}, {97, 0}};
constexpr FactoryByte kV2Bytes[] = {{33, 12}, {97, 1}};

struct FactoryCapcode {
    std::size_t entry;
    std::uint32_t value;
};
constexpr FactoryCapcode kCapcodes[] = {{0, 1234567}, {1, 1234575}};

constexpr std::size_t kCapcodeEntries = 164;
constexpr std::size_t kSerialNumber = 256;
constexpr std::size_t kSerialNumberSize = 16;
constexpr std::size_t kFrequencyText = 103;
constexpr std::size_t kHandProgramPassword = 92;
constexpr std::size_t kCannedTexts = 1024;
constexpr std::size_t kCannedTextSize = 128;
constexpr std::size_t kCannedCount = 32;

void PutText(PagerImage& image, std::size_t address, std::string_view text) {
    std::memcpy(image.data() + address, text.data(), text.size());
}

void PutCapcode(PagerImage& image, std::size_t entry, std::uint32_t value) {
    std::uint8_t* bytes = image.data() + kCapcodeEntries + 4 * entry;
    bytes[0] = 0x61; // enabled
    bytes[1] = static_cast<std::uint8_t>((entry << 5) | ((value & 7) << 2) | ((value >> 19) & 3));
    bytes[2] = static_cast<std::uint8_t>((value >> 11) & 0xFF);
    bytes[3] = static_cast<std::uint8_t>((value >> 3) & 0xFF);
}

} // namespace

PagerImage MakeFactoryPager(FactoryPager kind) {
    PagerImage image{};
    image.fill(0xFF);
    if (kind == FactoryPager::None)
        return image;

    std::fill(image.begin(), image.begin() + 320, 0x00);
    std::fill(image.begin() + kCannedTexts, image.begin() + 5120, 0x00);
    const bool v2 = kind == FactoryPager::V2;
    const auto& identity = v2 ? kIdentityV2 : kIdentityV1;
    std::copy(identity.begin(), identity.end(), image.begin());
    for (const FactoryByte& b : kCommonBytes)
        image[b.address] = b.value;
    for (const FactoryByte& b :
         v2 ? std::span<const FactoryByte>(kV2Bytes) : std::span<const FactoryByte>(kV1Bytes))
        image[b.address] = b.value;
    for (std::size_t entry = 0; entry < 8; ++entry) {
        image[kCapcodeEntries + 4 * entry] = 0x60; // disabled, capcode 0
        image[kCapcodeEntries + 4 * entry + 1] = static_cast<std::uint8_t>(entry << 5);
    }
    for (const FactoryCapcode& c : kCapcodes)
        PutCapcode(image, c.entry, c.value);

    PutText(image, kHandProgramPassword, "3916");
    PutText(image, kFrequencyText, "152.8400");
    const std::string_view serial = v2 ? "W5C0000123" : "2011000456";
    std::fill_n(image.begin() + kSerialNumber, kSerialNumberSize, ' ');
    PutText(image, kSerialNumber + kSerialNumberSize - serial.size(), serial);

    for (std::size_t m = 0; m < kCannedCount; ++m) {
        char text[kCannedTextSize] = {};
        std::snprintf(text, sizeof text, "%s CANNED MESSAGE %02zu", v2 ? "V2" : "V1", m + 1);
        PutText(image, kCannedTexts + kCannedTextSize * m, text);
        image[128 + m] = static_cast<std::uint8_t>(0x80 | (m & 15)); // enabled, alert m mod 16
    }
    return image;
}
