#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// One decoded value per row of the pager memory map. A setting edited by a drop-down list
// holds the zero-based index of its item; 255 means the list had no selection when stored.
// Texts are single bytes (ISO-8859-1 where they meet the user interface).
struct PagerSettings {
    static constexpr int kCapcodes = 8;
    static constexpr int kTones = 4;
    static constexpr int kCannedMessages = 32;
    static constexpr int kCannedTextSize = 128;

    // Widths of the text fields in the image; the canned texts keep their last byte for the
    // terminating zero.
    static constexpr std::size_t kStartupTextWidth = 20;
    static constexpr std::size_t kOtaPasswordWidth = 8;
    static constexpr std::size_t kHandProgramPasswordWidth = 4;
    static constexpr std::size_t kFrequencyTextWidth = 8;
    static constexpr std::size_t kSerialNumberWidth = 16;
    static constexpr std::size_t kCannedTextWidth = kCannedTextSize - 1;
    // Capcodes are 21-bit numbers.
    static constexpr std::uint32_t kCapcodeMax = 2097151;

    using CapcodeBytes = std::array<std::uint8_t, kCapcodes>;
    using CannedBytes = std::array<std::uint8_t, kCannedMessages>;
    using CannedText = std::array<std::uint8_t, kCannedTextSize>;

    // Packed option bits, bytes 4..9.
    std::uint8_t messageDeletion = 0;
    std::uint8_t dateFormat = 0;
    std::uint8_t messageNumberOrder = 0;
    std::uint8_t keyTone = 0;
    std::uint8_t otaAllowCapcodeEnable = 1;
    std::uint8_t outOfRangeText = 0;
    std::uint8_t outOfRangeBeep = 0;
    std::uint8_t outOfRangeVibrate = 0;
    std::uint8_t outOfRangeIconMode = 0;
    std::uint8_t otaEnable = 0;
    std::uint8_t otaAllowFrequency = 0;
    std::uint8_t otaAllowBaudRate = 0;
    std::uint8_t otaAllowCapcode = 0;
    std::uint8_t showCapcodesAtPowerOn = 0;
    std::uint8_t backlightOnMessage = 0;
    std::uint8_t lowBatterySilence = 0;
    std::uint8_t handProgramEnable = 0;
    std::uint8_t menuNotebook = 0;
    std::uint8_t menuMessageAlarm = 0;
    std::uint8_t menuLockMessage = 0;
    std::uint8_t menuSetTime = 0;
    std::uint8_t menuSelectZoom = 0;
    std::uint8_t menuPrivateTime = 0;
    std::uint8_t menuAlertMenu = 0;
    std::uint8_t outOfRangeFunction = 0;
    std::uint8_t batteryType = 0;
    std::uint8_t duplicateBehaviour = 0;
    std::uint8_t menuVibrateMode = 0;
    std::uint8_t menuTurnOffPager = 0;

    // Option bytes 10..35.
    std::uint8_t language = 0;
    std::uint8_t duplicateCheckWindow = 0;
    std::uint8_t lcdContrast = 0;
    std::uint8_t unreadAlert = 0;
    std::uint8_t unreadAlertTimes = 0;
    std::uint8_t outOfRangeInterval = 3;
    std::uint8_t lowBatteryAlert = 0;
    std::uint8_t zoomLevel = 0;
    std::uint8_t alertLength = 0;

    // Per-capcode fields, index n = row - 1.
    CapcodeBytes capcodePrivate{1, 1, 1, 1, 0, 0, 0, 0};
    CapcodeBytes vibrate{};
    CapcodeBytes alertStop{};
    std::array<std::array<std::uint8_t, kTones>, kCapcodes> toneType{};
    CapcodeBytes alertType{};
    CapcodeBytes alertMelody{};
    CapcodeBytes capcodeEnabled{};
    std::array<std::uint32_t, kCapcodes> capcodes{};
    CapcodeBytes priority{};
    CapcodeBytes urgentTone{};
    CapcodeBytes autoIncrementStep{};

    // Texts and alert times, bytes 55..110.
    std::string startupText;
    std::string otaPassword;
    std::string handProgramPassword = "3916";
    std::uint8_t storedMessages = 1;
    std::uint8_t silenceOnHour = 8;
    std::uint8_t silenceOnMinute = 0;
    std::uint8_t silenceOffHour = 22;
    std::uint8_t silenceOffMinute = 0;
    std::string frequencyText;

    // Canned messages: attributes at 128..159, texts at 1024..5119.
    CannedBytes cannedEnabled{};
    CannedBytes cannedAppend{};
    CannedBytes cannedTone{};
    std::array<CannedText, kCannedMessages> cannedMessages{};

    // Radio word, byte 161.
    std::uint8_t polarity = 0;
    std::uint8_t baudRate = 1;

    // Serial number, bytes 256..271.
    std::string serialNumber;

    bool operator==(const PagerSettings&) const = default;
};
