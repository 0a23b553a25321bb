#pragma once

#include "image/PagerSettings.h"

#include <cstdint>

// The plain fields of the pager memory map: settings that live in a fixed group of bits of a
// fixed byte and are coded the same way in both programming modes. The decoder and the encoder
// both walk this table; rows that depend on the mode or need a rule are coded in ImageCodec.cpp.
namespace image_map {

using S = PagerSettings;

enum class Coding : std::uint8_t {
    Flag,         // one bit: the bit is the setting; encoded set when the setting is not 0
    InvertedFlag, // one bit: the setting is 1 when the bit is clear; set when the setting is 0
    ReadOnlyFlag, // one bit: decoded like Flag, always encoded 0
    Bits,         // the field's bits are the setting; encoded from the setting's low bits
    Times10,      // whole byte = setting x 10; decoded by integer division
    Times60,      // whole byte = setting x 60; decoded by integer division
    PlusOne,      // whole byte = setting + 1, modulo 256
};

// Where element i of a setting lives in PagerSettings (i is 0 for single settings).
using SettingAt = std::uint8_t& (*)(PagerSettings&, int);

template <std::uint8_t PagerSettings::*Field> std::uint8_t& One(PagerSettings& s, int) {
    return s.*Field;
}
template <auto Field> std::uint8_t& Each(PagerSettings& s, int i) {
    return (s.*Field)[static_cast<std::size_t>(i)];
}
template <int Function> std::uint8_t& ToneOf(PagerSettings& s, int i) {
    return s.toneType[static_cast<std::size_t>(i)][Function];
}

// A row names the lowest bit and the width of the field. Repeated rows hold one element per
// capcode or per canned message; element i sits at address + i x addressStep, bit + i x bitStep.
struct MapRow {
    std::uint16_t address;
    std::uint8_t bit;
    std::uint8_t width;
    Coding coding;
    SettingAt setting;
    std::uint8_t count = 1;
    std::uint8_t addressStep = 0;
    std::uint8_t bitStep = 0;
};

inline constexpr std::uint8_t kCapcodes = S::kCapcodes;
inline constexpr std::uint8_t kCanned = S::kCannedMessages;
using enum Coding;

// clang-format off
inline constexpr MapRow kPlainFields[] = {
    // address, bit, width, coding, setting                              [count, addr step, bit step]
    {4,   2, 1, Flag,         One<&S::dateFormat>},
    {4,   5, 1, Flag,         One<&S::keyTone>},
    {4,   7, 1, Flag,         One<&S::otaAllowCapcodeEnable>},
    {5,   0, 1, Flag,         One<&S::outOfRangeText>},
    {5,   1, 1, Flag,         One<&S::outOfRangeBeep>},
    {5,   2, 1, Flag,         One<&S::outOfRangeVibrate>},
    {5,   3, 1, Flag,         One<&S::outOfRangeIconMode>},
    {5,   4, 1, Flag,         One<&S::otaEnable>},
    {5,   5, 1, Flag,         One<&S::otaAllowFrequency>},
    {5,   6, 1, Flag,         One<&S::otaAllowBaudRate>},
    {5,   7, 1, Flag,         One<&S::otaAllowCapcode>},
    {6,   1, 1, Flag,         One<&S::backlightOnMessage>},
    {6,   2, 1, Flag,         One<&S::lowBatterySilence>},
    {6,   7, 1, ReadOnlyFlag, One<&S::handProgramEnable>},
    {7,   0, 1, Flag,         One<&S::menuNotebook>},
    {7,   1, 1, Flag,         One<&S::menuMessageAlarm>},
    {7,   2, 1, Flag,         One<&S::menuLockMessage>},
    {7,   3, 1, Flag,         One<&S::menuSetTime>},
    {7,   4, 1, Flag,         One<&S::menuSelectZoom>},
    {7,   5, 1, Flag,         One<&S::menuPrivateTime>},
    {7,   6, 1, Flag,         One<&S::menuAlertMenu>},
    {7,   7, 1, Flag,         One<&S::outOfRangeFunction>},
    {8,   0, 1, Flag,         One<&S::batteryType>},
    {8,   6, 1, Flag,         One<&S::menuVibrateMode>},
    {9,   2, 1, InvertedFlag, One<&S::menuTurnOffPager>},
    {11,  0, 8, Times60,      One<&S::duplicateCheckWindow>},
    {12,  0, 8, Bits,         One<&S::lcdContrast>},
    {19,  0, 8, Times10,      One<&S::unreadAlertTimes>},
    {21,  0, 8, PlusOne,      One<&S::outOfRangeInterval>},
    {22,  0, 8, Bits,         One<&S::lowBatteryAlert>},
    {31,  0, 8, Bits,         One<&S::zoomLevel>},
    {35,  0, 8, Bits,         One<&S::alertLength>},
    {36,  0, 1, InvertedFlag, Each<&S::capcodePrivate>,  kCapcodes, 0, 1},
    {37,  0, 1, Flag,         Each<&S::vibrate>,         kCapcodes, 0, 1},
    {38,  0, 1, Flag,         Each<&S::alertStop>,       kCapcodes, 0, 1},
    {39,  0, 2, Bits,         ToneOf<0>,                 kCapcodes, 1, 0},
    {39,  2, 2, Bits,         ToneOf<1>,                 kCapcodes, 1, 0},
    {39,  4, 2, Bits,         ToneOf<2>,                 kCapcodes, 1, 0},
    {39,  6, 2, Bits,         ToneOf<3>,                 kCapcodes, 1, 0},
    {47,  4, 2, Bits,         Each<&S::alertType>,       kCapcodes, 1, 0},
    {47,  0, 4, Bits,         Each<&S::alertMelody>,     kCapcodes, 1, 0},
    {98,  0, 8, Bits,         One<&S::silenceOnHour>},
    {99,  0, 8, Bits,         One<&S::silenceOnMinute>},
    {100, 0, 8, Bits,         One<&S::silenceOffHour>},
    {101, 0, 8, Bits,         One<&S::silenceOffMinute>},
    {128, 7, 1, Flag,         Each<&S::cannedEnabled>,   kCanned,   1, 0},
    {128, 6, 1, Flag,         Each<&S::cannedAppend>,    kCanned,   1, 0},
    {128, 0, 4, Bits,         Each<&S::cannedTone>,      kCanned,   1, 0},
    {201, 0, 8, Bits,         Each<&S::priority>,        kCapcodes, 1, 0},
    {209, 0, 8, Bits,         Each<&S::urgentTone>,      kCapcodes, 1, 0},
    {288, 0, 8, Bits,         Each<&S::autoIncrementStep>, kCapcodes, 1, 0},
};

// Bits no setting owns that every encode writes with these values.
struct FixedValue {
    std::uint16_t address;
    std::uint8_t value;
};
inline constexpr FixedValue kFixedValues[] = {
    {8,   0x1C}, // bits 2, 3 and 4
    {20,  4},
    {32,  40},
    {34,  32},
    {160, 0x41},
    {161, 0x20}, // bit 5
    {162, 0x00},
    {163, 0xF8},
};

// Text fields: single bytes, read up to the first zero byte of the field.
enum class TextLayout : std::uint8_t {
    BlankPadded,  // left-aligned, padded with blanks; trailing blanks dropped on decode
    ZeroPadded,   // left-aligned, padded with zero bytes
    DigitPadded,  // padded with the digit 0; the padded text replaces the setting
    RightAligned, // preceded by blanks; the aligned text replaces the setting
};
struct TextField {
    std::uint16_t address;
    std::uint8_t width;
    TextLayout layout;
    std::string PagerSettings::*setting;
};
inline constexpr TextField kTextFields[] = {
    {55,  S::kStartupTextWidth,         TextLayout::BlankPadded,  &S::startupText},
    {75,  S::kOtaPasswordWidth,         TextLayout::ZeroPadded,   &S::otaPassword},
    {92,  S::kHandProgramPasswordWidth, TextLayout::ZeroPadded,   &S::handProgramPassword},
    {103, S::kFrequencyTextWidth,       TextLayout::DigitPadded,  &S::frequencyText},
    {256, S::kSerialNumberWidth,        TextLayout::RightAligned, &S::serialNumber},
};
// clang-format on

inline constexpr std::uint16_t kCapcodeEntries = 164;
inline constexpr std::uint16_t kRadioWords = 13;
inline constexpr std::uint16_t kTimeStamp = 196;
inline constexpr std::uint16_t kCannedTexts = 1024;

} // namespace image_map
