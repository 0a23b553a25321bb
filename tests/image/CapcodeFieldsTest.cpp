// Per-capcode fields: the bit and two-bit fields at 36..54, the capcode entries at 164..195
// and the copied bytes at 201..216 and 288..295.
#include "ImageTestSupport.h"
#include "image/CapcodeEntry.h"

#include <gtest/gtest.h>

namespace {

struct EntryCase {
    int index;
    bool enabled;
    std::uint32_t capcode;
    CapcodeEntryBytes bytes;
};

const EntryCase kEntries[] = {
    {0, true, 1234567, {0x61, 0x1E, 0x5A, 0xD0}},   {7, false, 8, {0x60, 0xE0, 0x00, 0x01}},
    {2, true, 2097151, {0x61, 0x5F, 0xFF, 0xFF}},   {5, true, 0, {0x61, 0xA0, 0x00, 0x00}},
    {3, false, 0x100000, {0x60, 0x62, 0x00, 0x00}}, // bit 20 lands in bit 1 of the second byte
};

TEST(CapcodeEntries, WorkedExamplesBothWays) {
    for (const EntryCase& c : kEntries) {
        EXPECT_EQ(EncodeCapcodeEntry(c.index, {c.enabled, c.capcode}), c.bytes)
            << "capcode " << c.capcode;
        const CapcodeEntry decoded = DecodeCapcodeEntry(c.bytes);
        EXPECT_EQ(decoded.capcode, c.capcode);
        EXPECT_EQ(decoded.enabled, c.enabled);
    }
}

TEST(CapcodeEntries, DecodeIgnoresIndexAndOtherFlagBits) {
    const CapcodeEntry entry = DecodeCapcodeEntry({0xFE, 0xFF, 0x12, 0x34});
    EXPECT_FALSE(entry.enabled);
    EXPECT_EQ(entry.capcode, DecodeCapcodeEntry({0x00, 0x1F, 0x12, 0x34}).capcode);
    EXPECT_EQ(DecodeCapcodeEntry({0, 0, 0, 0}).capcode, 0U);
    // Bits above bit 20 are not stored.
    EXPECT_EQ(DecodeCapcodeEntry(EncodeCapcodeEntry(1, {true, 0x00A00008})).capcode, 0x00000008U);
}

TEST(CapcodeBits, PrivateVibrateAndAlertStopMasks) {
    PagerSettings settings;
    EXPECT_EQ(EncodeFor(settings, Generation::V2)[36], 0xF0); // rows 1-4 private
    settings.vibrate = {1, 0, 0, 0, 0, 0, 0, 1};
    settings.alertStop = {0, 1, 0, 0, 0, 0, 7, 0};
    settings.capcodePrivate = {0, 0, 0, 0, 0, 0, 0, 1};
    const PagerImage image = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(image[36], 0x7F);
    EXPECT_EQ(image[37], 0x81);
    EXPECT_EQ(image[38], 0x42);
    const PagerSettings decoded = DecodeFrom(image, Generation::V2);
    EXPECT_EQ(decoded.capcodePrivate, settings.capcodePrivate);
    EXPECT_EQ(decoded.vibrate, settings.vibrate);
    EXPECT_EQ(decoded.alertStop[6], 1);
}

TEST(CapcodeBits, ToneTypesShareOneBytePerCapcode) {
    PagerImage image = EncodeFor({}, Generation::V2);
    image[39] = 0xE4;
    image[46] = 0x1B;
    const PagerSettings settings = DecodeFrom(image, Generation::V2);
    EXPECT_EQ(settings.toneType[0], (std::array<std::uint8_t, 4>{0, 1, 2, 3}));
    EXPECT_EQ(settings.toneType[7], (std::array<std::uint8_t, 4>{3, 2, 1, 0}));
    const PagerImage again = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(again[39], 0xE4);
    EXPECT_EQ(again[46], 0x1B);
}

TEST(CapcodeBits, OutOfRangeValuesStayInsideTheirOwnBits) {
    PagerSettings settings;
    settings.toneType[2] = {255, 0, 4, 0}; // 4 would carry into tone D if not limited
    settings.alertType[1] = 255;
    settings.alertMelody[1] = 255;
    settings.cannedTone[3] = 255;
    const PagerImage image = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(image[41], 0x03);
    EXPECT_EQ(image[48], 0x3F);
    EXPECT_EQ(image[131], 0x0F);
}

TEST(CapcodeBits, AlertTypeAndMelody) {
    PagerImage image = EncodeFor({}, Generation::V2);
    image[47] = 0x25;
    image[48] = 0xFF; // bits 6 and 7 are ignored
    PagerSettings settings = DecodeFrom(image, Generation::V2);
    EXPECT_EQ(settings.alertType[0], 2);
    EXPECT_EQ(settings.alertMelody[0], 5);
    EXPECT_EQ(settings.alertType[1], 3);
    EXPECT_EQ(settings.alertMelody[1], 15);
    settings.alertType[0] = 1;
    const PagerImage again = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(again[47], 0x15);
    EXPECT_EQ(again[48], 0x3F);
}

TEST(CapcodeBytes, PriorityUrgentAndStepsAreCopied) {
    PagerSettings settings;
    for (int i = 0; i < 8; ++i) {
        settings.priority[i] = static_cast<std::uint8_t>(i);
        settings.urgentTone[i] = static_cast<std::uint8_t>(255 - i);
        settings.autoIncrementStep[i] = static_cast<std::uint8_t>(i == 3 ? 255 : i % 5);
    }
    const PagerImage image = EncodeFor(settings, Generation::V1);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(image[201 + i], settings.priority[i]);
        EXPECT_EQ(image[209 + i], settings.urgentTone[i]);
        EXPECT_EQ(image[288 + i], settings.autoIncrementStep[i]);
    }
}

} // namespace
