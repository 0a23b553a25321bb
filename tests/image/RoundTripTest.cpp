// Decoding an image and encoding the settings again in the same mode.
#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct Kept {
    std::size_t first;
    std::size_t last;
    std::uint8_t mask; // bits that must come back unchanged
};

// Everything the decode reads comes back, apart from bits that are rebuilt by rule.
std::vector<Kept> KeptBits(Generation mode) {
    std::vector<Kept> kept = {
        {5, 5, 0xFF},     {6, 6, 0x07},     {7, 7, 0xFF},     {8, 8, 0x41},     {9, 9, 0x04},
        {12, 12, 0xFF},   {21, 22, 0xFF},   {31, 31, 0xFF},   {35, 35, 0xFF},   {36, 46, 0xFF},
        {47, 54, 0x3F},   {55, 82, 0xFF},   {92, 95, 0xFF},   {98, 101, 0xFF},  {103, 110, 0xFF},
        {128, 159, 0xCF}, {161, 161, 0x04}, {201, 216, 0xFF}, {256, 271, 0xFF}, {288, 295, 0xFF},
    };
    for (std::size_t entry = 164; entry < 196; entry += 4) {
        kept.push_back({entry, entry, 0x01});
        kept.push_back({entry + 1, entry + 1, 0x1F});
        kept.push_back({entry + 2, entry + 3, 0xFF});
    }
    for (std::size_t text = 1024; text < 5120; text += 128) {
        kept.push_back({text, text + 126, 0xFF});
    }
    if (mode == Generation::V1) {
        kept.push_back({4, 4, 0xAD});
    } else {
        kept.insert(kept.end(),
                    {{4, 4, 0xA4}, {10, 10, 0xFF}, {18, 18, 0xFF}, {33, 33, 0x03}, {97, 97, 0xFF}});
    }
    return kept;
}

TEST(RoundTrip, DecodedBitsComeBackInTheSameMode) {
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
        for (Generation mode : {Generation::V1, Generation::V2}) {
            const PagerImage source = RandomImage(seed, 1); // texts without zero bytes
            const PagerImage again = EncodeFor(DecodeFrom(source, mode), mode);
            for (const Kept& k : KeptBits(mode)) {
                for (std::size_t a = k.first; a <= k.last; ++a) {
                    ASSERT_EQ(source[a] & k.mask, again[a] & k.mask)
                        << "address " << a << " mode " << int(mode) << " seed " << seed;
                }
            }
            if (mode == Generation::V1) {
                EXPECT_EQ(again[33], 10);
                EXPECT_EQ(again[97], 0);
            } else {
                EXPECT_EQ(again[4] & 0x01, source[97] != 0 ? 1 : 0);
                EXPECT_EQ(again[4] & 0x08, 0);
            }
            EXPECT_EQ(again[6] & 0x80, 0);
        }
    }
}

TEST(RoundTrip, EncodeDecodeEncodeIsStable) {
    for (std::uint32_t seed = 100; seed < 130; ++seed) {
        for (Generation mode : {Generation::V1, Generation::V2}) {
            PagerSettings first = DecodeFrom(RandomImage(seed), mode);
            PagerImage image{};
            EncodeImage(first, mode, kTestTime, image);
            PagerSettings second = DecodeFrom(image, mode);
            first.handProgramEnable = 0; // never written
            EXPECT_EQ(second, first) << "seed " << seed;
            EXPECT_EQ(EncodeFor(second, mode), image) << "seed " << seed;
        }
    }
}

TEST(RoundTrip, DecodeLeavesTheImageAndUnmappedSettingsAlone) {
    PagerImage image = RandomImage(3);
    image[10] = 5;     // no V1 language
    image[96] = 7;     // no stored-messages count
    image[161] = 0x18; // baud bits 11
    const PagerImage before = image;
    PagerSettings start;
    start.language = 2;
    start.storedMessages = 0;
    start.baudRate = 2;
    const PagerSettings settings = DecodeFrom(image, Generation::V1, start);
    EXPECT_EQ(image, before);
    EXPECT_EQ(settings.language, 2);
    EXPECT_EQ(settings.storedMessages, 0);
    EXPECT_EQ(settings.baudRate, 2);
}

} // namespace
