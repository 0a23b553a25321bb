// Text fields (startup text, OTA and hand-program passwords, frequency digits, serial number)
// and the radio words derived from the frequency text.
#include "ImageTestSupport.h"
#include "image/RadioWords.h"

#include <gtest/gtest.h>

namespace {

using TextField = std::string PagerSettings::*;
using S = PagerSettings;

struct TextCase {
    TextField field;
    std::string text;
    std::size_t address;
    std::string stored;  // the field's bytes in the image
    std::string decoded; // the setting after decoding them
};

const TextCase kTexts[] = {
    {&S::startupText, "HELLO", 55, "HELLO" + std::string(15, ' '), "HELLO"},
    {&S::startupText, "  HI  ", 55, "  HI" + std::string(16, ' '), "  HI"},
    {&S::startupText, "ABCDEFGHIJKLMNOPQRST", 55, "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
    {&S::startupText, "ABCDEFGHIJKLMNOPQRSTUVW", 55, "ABCDEFGHIJKLMNOPQRST",
     "ABCDEFGHIJKLMNOPQRST"},
    {&S::otaPassword, "abc", 75, std::string("abc\0\0\0\0\0", 8), "abc"},
    {&S::otaPassword, "", 75, std::string(8, '\0'), ""},
    {&S::otaPassword, "123456789", 75, "12345678", "12345678"},
    {&S::handProgramPassword, "42", 92, std::string("42\0\0", 4), "42"},
    {&S::serialNumber, "AB123", 256, std::string(11, ' ') + "AB123",
     std::string(11, ' ') + "AB123"},
    {&S::serialNumber, "0123456789ABCDEF", 256, "0123456789ABCDEF", "0123456789ABCDEF"},
    {&S::serialNumber, "X0123456789ABCDEF", 256, "0123456789ABCDEF", "0123456789ABCDEF"},
    {&S::frequencyText, "152.84", 103, "152.8400", "152.8400"},
    {&S::frequencyText, "", 103, "00000000", "00000000"},
    {&S::frequencyText, "\xE9\x80\xFF", 103,
     "\xE9\x80\xFF"
     "00000",
     "\xE9\x80\xFF"
     "00000"},
    {&S::startupText, "\xC4\xD6\xDC\xFF", 55, "\xC4\xD6\xDC\xFF" + std::string(16, ' '),
     "\xC4\xD6\xDC\xFF"},
};

TEST(TextFields, StoredAtTheirWidthAndDecodedBack) {
    for (const TextCase& c : kTexts) {
        for (Generation mode : {Generation::V1, Generation::V2}) {
            PagerSettings settings;
            settings.*c.field = c.text;
            const PagerImage image = EncodeFor(settings, mode);
            EXPECT_EQ(Bytes(image, c.address, c.stored.size()), c.stored) << c.text;
            EXPECT_EQ(DecodeFrom(image, mode).*c.field, c.decoded) << c.text;
        }
    }
}

TEST(TextFields, EncodeWritesBackTheFormsItStored) {
    PagerSettings settings;
    settings.frequencyText = "152";
    settings.serialNumber = "7";
    settings.startupText = "KEEP  ";
    PagerImage image{};
    EncodeImage(settings, Generation::V2, kTestTime, image);
    EXPECT_EQ(settings.frequencyText, "15200000");
    EXPECT_EQ(settings.serialNumber, std::string(15, ' ') + "7");
    EXPECT_EQ(settings.startupText, "KEEP  "); // padding is not written back
}

TEST(TextFields, DecodeStopsAtTheFirstZeroByte) {
    PagerImage image = EncodeFor({}, Generation::V2);
    const std::string startup = std::string("AB\0CD", 5) + std::string(15, ' ');
    std::copy(startup.begin(), startup.end(), image.begin() + 55);
    image[258] = 0;
    const PagerSettings settings = DecodeFrom(image, Generation::V2);
    EXPECT_EQ(settings.startupText, "AB");
    EXPECT_EQ(settings.serialNumber, "  ");
}

// ---- Radio words --------------------------------------------------------------------------

struct RadioCase {
    const char* text;
    std::uint32_t units;
    RadioWordBytes bytes;
};

const RadioCase kRadio[] = {
    {"152.8400", 1528400, {0x00, 0xCD, 0x60, 0x05, 0x00}},
    {"152.84", 1528400, {0x00, 0xCD, 0x60, 0x05, 0x00}},
    {"152", 1520000, {0x00, 0xCC, 0x10, 0x05, 0x00}},
    {"199.9999", 1999999, {0x01, 0x17, 0x0F, 0x05, 0x00}},
    {"200.0000", 2000000, {0x01, 0x17, 0x10, 0x07, 0x80}},
    {"462.5000", 4625000, {0x02, 0xB1, 0x38, 0x07, 0x80}},
    {"899.9999", 8999999, {0x05, 0x5C, 0xCF, 0x07, 0x80}},
    {"900.0000", 9000000, {0x01, 0x12, 0x90, 0x02, 0x80}},
    {"929.6125", 9296125, {0x01, 0x1B, 0xD1, 0x02, 0x80}},
    {"", 0, {0x3D, 0x4F, 0x33, 0x05, 0x00}},              // wraps below 21.4 MHz
    {"1528400", 1524000, {0x00, 0xCC, 0xB0, 0x05, 0x00}}, // fourth character skipped
    {"\xB5"
     "00.0000",
     133000000,
     {0x10, 0x35, 0x90, 0x02, 0x80}}, // bytes count unsigned
};

TEST(RadioWords, FrequencyTextGivesChannelAndBandWord) {
    for (const RadioCase& c : kRadio) {
        const std::string padded = PadFrequencyText(c.text);
        EXPECT_EQ(FrequencyUnits(padded), c.units) << c.text;
        EXPECT_EQ(ComputeRadioWords(padded), c.bytes) << c.text;

        PagerSettings settings;
        settings.frequencyText = c.text;
        const PagerImage image = EncodeFor(settings, Generation::V2);
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), image.begin() + 13)) << c.text;
    }
}

TEST(RadioWords, RecomputedFromTheTextNotDecoded) {
    PagerSettings settings;
    settings.frequencyText = "462.5000";
    PagerImage image = EncodeFor(settings, Generation::V2);
    std::fill_n(image.begin() + 13, 5, std::uint8_t{0xAA});
    EXPECT_EQ(Bytes(EncodeFor(DecodeFrom(image, Generation::V2), Generation::V2), 13, 5),
              "\x02\xB1\x38\x07\x80");
    EXPECT_EQ(Bytes(image, 103, 8), "462.5000");
}

} // namespace
