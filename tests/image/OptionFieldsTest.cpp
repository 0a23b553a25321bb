// Packed option bits and option bytes (addresses 4..35, 96..101 and the radio word at 161).
#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Field = std::uint8_t PagerSettings::*;
using S = PagerSettings;

struct FlagCase {
    Field field;
    std::size_t address;
    int bit;
    bool inverted;
};

// One-bit settings coded alike in both modes.
const FlagCase kFlags[] = {
    {&S::dateFormat, 4, 2, false},
    {&S::keyTone, 4, 5, false},
    {&S::otaAllowCapcodeEnable, 4, 7, false},
    {&S::outOfRangeText, 5, 0, false},
    {&S::outOfRangeBeep, 5, 1, false},
    {&S::outOfRangeVibrate, 5, 2, false},
    {&S::outOfRangeIconMode, 5, 3, false},
    {&S::otaEnable, 5, 4, false},
    {&S::otaAllowFrequency, 5, 5, false},
    {&S::otaAllowBaudRate, 5, 6, false},
    {&S::otaAllowCapcode, 5, 7, false},
    {&S::backlightOnMessage, 6, 1, false},
    {&S::lowBatterySilence, 6, 2, false},
    {&S::menuNotebook, 7, 0, false},
    {&S::menuMessageAlarm, 7, 1, false},
    {&S::menuLockMessage, 7, 2, false},
    {&S::menuSetTime, 7, 3, false},
    {&S::menuSelectZoom, 7, 4, false},
    {&S::menuPrivateTime, 7, 5, false},
    {&S::menuAlertMenu, 7, 6, false},
    {&S::outOfRangeFunction, 7, 7, false},
    {&S::batteryType, 8, 0, false},
    {&S::menuVibrateMode, 8, 6, false},
    {&S::menuTurnOffPager, 9, 2, true},
};

TEST(OptionBits, EachFlagOwnsExactlyItsBit) {
    for (Generation mode : {Generation::V1, Generation::V2}) {
        for (const FlagCase& c : kFlags) {
            PagerSettings off;
            off.*c.field = c.inverted ? 1 : 0;
            PagerSettings on;
            on.*c.field = c.inverted ? 0 : 2; // any non-zero value sets a flag
            const PagerImage a = EncodeFor(off, mode);
            const PagerImage b = EncodeFor(on, mode);
            for (std::size_t address = 4; address <= 9; ++address) {
                const int expected = address == c.address ? 1 << c.bit : 0;
                EXPECT_EQ(a[address] ^ b[address], expected) << "address " << address;
            }
            EXPECT_EQ(DecodeFrom(b, mode).*c.field, c.inverted ? 0 : 1);
            EXPECT_EQ(DecodeFrom(a, mode).*c.field, c.inverted ? 1 : 0);
        }
    }
}

TEST(OptionBits, HandProgramFlagIsReadButNeverWritten) {
    PagerImage image = EncodeFor({}, Generation::V2);
    image[6] |= 0x80;
    PagerSettings settings = DecodeFrom(image, Generation::V2);
    EXPECT_EQ(settings.handProgramEnable, 1);
    EXPECT_EQ(EncodeFor(settings, Generation::V2)[6] & 0x80, 0);
}

TEST(OptionBits, DuplicateBehaviourUsesTwoBits) {
    struct Case {
        std::uint8_t setting;
        int byte8Bit5;
        int byte9Bit4;
    };
    for (const Case c : {Case{0, 0, 0}, Case{1, 1, 0}, Case{2, 1, 1}}) {
        PagerSettings settings;
        settings.duplicateBehaviour = c.setting;
        const PagerImage image = EncodeFor(settings, Generation::V2);
        EXPECT_EQ((image[8] >> 5) & 1, c.byte8Bit5);
        EXPECT_EQ((image[9] >> 4) & 1, c.byte9Bit4);
        EXPECT_EQ(DecodeFrom(image, Generation::V2).duplicateBehaviour, c.setting);
    }
    PagerImage onlyByte9 = EncodeFor({}, Generation::V2);
    onlyByte9[9] |= 0x10;
    EXPECT_EQ(DecodeFrom(onlyByte9, Generation::V2).duplicateBehaviour, 2);
}

TEST(OptionBytes, ScaledAndOffsetBytes) {
    struct Case {
        std::size_t address;
        Field field;
        std::uint8_t byte;
        std::uint8_t decoded;
        std::uint8_t reencoded;
    };
    const Case cases[] = {
        {11, &S::duplicateCheckWindow, 130, 2, 120}, {11, &S::duplicateCheckWindow, 59, 0, 0},
        {19, &S::unreadAlertTimes, 255, 25, 250},    {19, &S::unreadAlertTimes, 15, 1, 10},
        {21, &S::outOfRangeInterval, 0, 255, 0},     {21, &S::outOfRangeInterval, 10, 9, 10},
    };
    for (const Case& c : cases) {
        PagerImage image = EncodeFor({}, Generation::V2);
        image[c.address] = c.byte;
        const PagerSettings settings = DecodeFrom(image, Generation::V2);
        EXPECT_EQ(settings.*c.field, c.decoded) << "address " << c.address;
        EXPECT_EQ(EncodeFor(settings, Generation::V2)[c.address], c.reencoded)
            << "address " << c.address;
    }
}

TEST(OptionBytes, StoredMessagesKeepsSettingForUnknownCount) {
    PagerImage image = EncodeFor({}, Generation::V2);
    for (const auto& [byte, index] : {std::pair{1, 0}, {10, 1}, {50, 2}}) {
        image[96] = static_cast<std::uint8_t>(byte);
        EXPECT_EQ(DecodeFrom(image, Generation::V1).storedMessages, index);
    }
    image[96] = 7;
    PagerSettings start;
    start.storedMessages = 2;
    EXPECT_EQ(DecodeFrom(image, Generation::V2, start).storedMessages, 2);
    start.storedMessages = 3;
    EXPECT_EQ(EncodeFor(start, Generation::V2)[96], 0);
}

// ---- Rows coded differently in the two modes ----------------------------------------------

TEST(ModeCodings, LanguageIsAnIndexInV2AndACodeInV1) {
    PagerImage image = EncodeFor({}, Generation::V1);
    for (const auto& [byte, index] : {std::pair{0, 0}, {4, 1}, {8, 2}, {3, 3}}) {
        image[10] = static_cast<std::uint8_t>(byte);
        PagerSettings settings = DecodeFrom(image, Generation::V1);
        EXPECT_EQ(settings.language, index);
        EXPECT_EQ(EncodeFor(settings, Generation::V1)[10], byte);
    }
    image[10] = 5;
    PagerSettings start;
    start.language = 2;
    EXPECT_EQ(DecodeFrom(image, Generation::V1, start).language, 2);
    image[10] = 8;
    EXPECT_EQ(DecodeFrom(image, Generation::V2).language, 8);
    start.language = 4; // "CZECH" has no V1 code
    EXPECT_EQ(EncodeFor(start, Generation::V1)[10], 0);
    EXPECT_EQ(EncodeFor(start, Generation::V2)[10], 4);
}

TEST(ModeCodings, UnreadAlertIsSecondsInV1) {
    PagerImage image = EncodeFor({}, Generation::V1);
    for (const auto& [byte, index] : {std::pair{15, 1}, {30, 2}, {60, 3}, {120, 4}, {45, 0}}) {
        image[18] = static_cast<std::uint8_t>(byte);
        PagerSettings start;
        start.unreadAlert = 2; // an unknown byte gives 0, not the previous value
        PagerSettings settings = DecodeFrom(image, Generation::V1, start);
        EXPECT_EQ(settings.unreadAlert, index);
        EXPECT_EQ(EncodeFor(settings, Generation::V1)[18], index == 0 ? 0 : byte);
    }
    image[18] = 60;
    EXPECT_EQ(DecodeFrom(image, Generation::V2).unreadAlert, 60);
    PagerSettings settings;
    settings.unreadAlert = 255;
    EXPECT_EQ(EncodeFor(settings, Generation::V1)[18], 0);
    EXPECT_EQ(EncodeFor(settings, Generation::V2)[18], 255);
}

TEST(ModeCodings, CapcodesAtPowerOnIsInvertedInV1) {
    PagerImage image = EncodeFor({}, Generation::V2);
    image[6] |= 0x01;
    EXPECT_EQ(DecodeFrom(image, Generation::V1).showCapcodesAtPowerOn, 0);
    EXPECT_EQ(DecodeFrom(image, Generation::V2).showCapcodesAtPowerOn, 1);
    PagerSettings settings;
    settings.showCapcodesAtPowerOn = 1;
    EXPECT_EQ(EncodeFor(settings, Generation::V1)[6] & 1, 0);
    EXPECT_EQ(EncodeFor(settings, Generation::V2)[6] & 1, 1);
}

TEST(ModeCodings, MessageDeletionAndNumberOrder) {
    PagerSettings settings;
    settings.messageDeletion = 2;
    settings.messageNumberOrder = 2;
    const PagerImage v2 = EncodeFor(settings, Generation::V2);
    EXPECT_EQ(v2[97], 2);
    EXPECT_EQ(v2[4] & 0x09, 0x01); // deletion bit set, order bit clear
    EXPECT_EQ(v2[33], 2);
    const PagerImage v1 = EncodeFor(settings, Generation::V1);
    EXPECT_EQ(v1[97], 0);
    EXPECT_EQ(v1[4] & 0x09, 0x09);
    EXPECT_EQ(v1[33], 10);

    PagerImage image = v2;
    image[33] = 0xFE; // only the two low bits count
    image[97] = 1;
    const PagerSettings decodedV2 = DecodeFrom(image, Generation::V2);
    EXPECT_EQ(decodedV2.messageNumberOrder, 2);
    EXPECT_EQ(decodedV2.messageDeletion, 1);
    // A V2 image read in V1 takes byte 4's bits instead of bytes 33 and 97.
    const PagerSettings decodedV1 = DecodeFrom(image, Generation::V1);
    EXPECT_EQ(decodedV1.messageNumberOrder, 0);
    EXPECT_EQ(decodedV1.messageDeletion, 1);
}

// ---- Radio word byte 161 ------------------------------------------------------------------

TEST(RadioWordByte, PolarityAndBaudRate) {
    struct Case {
        std::uint8_t polarity;
        std::uint8_t baud;
        int byte;
    };
    for (const Case c : {Case{1, 2, 0x34}, Case{0, 0, 0x20}, Case{0, 1, 0x28}, Case{1, 255, 0x24},
                         Case{255, 1, 0x28}}) {
        PagerSettings settings;
        settings.polarity = c.polarity;
        settings.baudRate = c.baud;
        EXPECT_EQ(EncodeFor(settings, Generation::V2)[161], c.byte);
    }
    PagerImage image = EncodeFor({}, Generation::V2);
    image[161] = 0x3C; // baud bits 11
    PagerSettings start;
    start.baudRate = 2;
    const PagerSettings settings = DecodeFrom(image, Generation::V2, start);
    EXPECT_EQ(settings.baudRate, 2);
    EXPECT_EQ(settings.polarity, 1);
}

} // namespace
