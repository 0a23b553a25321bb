#include "image/ImageCodec.h"

#include "image/CapcodeEntry.h"
#include "image/Generation.h"
#include "image/ImageMap.h"
#include "image/RadioWords.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <span>

namespace {

using namespace image_map;

std::uint8_t Mask(std::uint8_t width) {
    return static_cast<std::uint8_t>((1U << width) - 1);
}

std::uint8_t Bit(const PagerImage& image, std::size_t address, int bit) {
    return (image[address] >> bit) & 1;
}

void SetBitIf(PagerImage& image, std::size_t address, int bit, bool set) {
    if (set) {
        image[address] |= static_cast<std::uint8_t>(1U << bit);
    }
}

// ---- Plain fields -------------------------------------------------------------------------

std::uint8_t DecodeValue(Coding coding, std::uint8_t raw) {
    switch (coding) {
    case Coding::InvertedFlag:
        return raw == 0 ? 1 : 0;
    case Coding::Times10:
        return raw / 10;
    case Coding::Times60:
        return raw / 60;
    case Coding::PlusOne:
        return static_cast<std::uint8_t>(raw - 1);
    case Coding::Flag:
    case Coding::ReadOnlyFlag:
    case Coding::Bits:
        break;
    }
    return raw;
}

// Multi-bit fields keep to their own bits, so an out-of-range setting cannot spill into a
// neighbour's.
std::uint8_t EncodeValue(Coding coding, std::uint8_t value, std::uint8_t mask) {
    switch (coding) {
    case Coding::Flag:
        return value != 0 ? 1 : 0;
    case Coding::InvertedFlag:
        return value == 0 ? 1 : 0;
    case Coding::ReadOnlyFlag:
        return 0;
    case Coding::Bits:
        return value & mask;
    case Coding::Times10:
        return static_cast<std::uint8_t>(value * 10);
    case Coding::Times60:
        return static_cast<std::uint8_t>(value * 60);
    case Coding::PlusOne:
        return static_cast<std::uint8_t>(value + 1);
    }
    return 0;
}

template <typename Action> void ForEachPlainField(Action&& action) {
    for (const MapRow& row : kPlainFields) {
        for (int i = 0; i < row.count; ++i) {
            action(row, i, std::size_t{row.address} + std::size_t(i) * row.addressStep,
                   row.bit + i * row.bitStep);
        }
    }
}

void DecodePlainFields(const PagerImage& image, PagerSettings& settings) {
    ForEachPlainField([&](const MapRow& row, int i, std::size_t address, int bit) {
        const auto raw = static_cast<std::uint8_t>((image[address] >> bit) & Mask(row.width));
        row.setting(settings, i) = DecodeValue(row.coding, raw);
    });
}

void EncodePlainFields(PagerSettings& settings, PagerImage& image) {
    ForEachPlainField([&](const MapRow& row, int i, std::size_t address, int bit) {
        const std::uint8_t value =
            EncodeValue(row.coding, row.setting(settings, i), Mask(row.width));
        image[address] |= static_cast<std::uint8_t>(value << bit);
    });
}

// ---- Settings coded by number rather than by list index -----------------------------------

constexpr std::uint8_t kV1LanguageCodes[] = {0, 4, 8, 3};
constexpr std::uint8_t kV1UnreadAlertSeconds[] = {0, 15, 30, 60, 120};
constexpr std::uint8_t kStoredMessageCounts[] = {1, 10, 50};

// The index whose code is the byte, or nothing.
std::optional<std::uint8_t> IndexOfCode(std::span<const std::uint8_t> codes, std::uint8_t byte) {
    const auto found = std::find(codes.begin(), codes.end(), byte);
    if (found == codes.end()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(found - codes.begin());
}

// An index without a code is written as 0.
std::uint8_t CodeOfIndex(std::span<const std::uint8_t> codes, std::uint8_t index) {
    return index < codes.size() ? codes[index] : 0;
}

// ---- Addresses of the rows coded here -----------------------------------------------------

constexpr std::size_t kFlagsA = 4;     // message deletion (bit 0), number order (bit 3)
constexpr std::size_t kFlagsB = 6;     // capcodes shown at power-on (bit 0)
constexpr std::size_t kDuplicateA = 8; // bit 5
constexpr std::size_t kDuplicateB = 9; // bit 4
constexpr std::size_t kLanguage = 10;
constexpr std::size_t kUnreadAlert = 18;
constexpr std::size_t kNumberOrder = 33;
constexpr std::size_t kStoredMessages = 96;
constexpr std::size_t kMessageDeletion = 97;
constexpr std::size_t kRadioWord = 161; // polarity (bit 2), baud rate (bits 3 and 4)

constexpr std::uint8_t kV1NumberOrderByte = 10;
constexpr std::uint8_t kNotCheckDuplicates = 2;

// ---- Rows whose coding depends on the programming mode ------------------------------------

void DecodeModeDependent(const PagerImage& image, bool v1, PagerSettings& s) {
    if (v1) {
        s.messageDeletion = Bit(image, kFlagsA, 0);
        s.messageNumberOrder = Bit(image, kFlagsA, 3);
        s.showCapcodesAtPowerOn = Bit(image, kFlagsB, 0) == 0 ? 1 : 0;
        s.language = IndexOfCode(kV1LanguageCodes, image[kLanguage]).value_or(s.language);
        s.unreadAlert = IndexOfCode(kV1UnreadAlertSeconds, image[kUnreadAlert]).value_or(0);
    } else {
        s.messageDeletion = image[kMessageDeletion];
        s.messageNumberOrder = image[kNumberOrder] & 3;
        s.showCapcodesAtPowerOn = Bit(image, kFlagsB, 0);
        s.language = image[kLanguage];
        s.unreadAlert = image[kUnreadAlert];
    }
}

void EncodeModeDependent(const PagerSettings& s, bool v1, PagerImage& image) {
    SetBitIf(image, kFlagsA, 0, s.messageDeletion != 0);
    if (v1) {
        SetBitIf(image, kFlagsA, 3, s.messageNumberOrder != 0);
        SetBitIf(image, kFlagsB, 0, s.showCapcodesAtPowerOn == 0);
        image[kLanguage] = CodeOfIndex(kV1LanguageCodes, s.language);
        image[kUnreadAlert] = CodeOfIndex(kV1UnreadAlertSeconds, s.unreadAlert);
        image[kNumberOrder] = kV1NumberOrderByte;
        image[kMessageDeletion] = 0;
    } else {
        SetBitIf(image, kFlagsB, 0, s.showCapcodesAtPowerOn != 0);
        image[kLanguage] = s.language;
        image[kUnreadAlert] = s.unreadAlert;
        image[kNumberOrder] = s.messageNumberOrder;
        image[kMessageDeletion] = s.messageDeletion;
    }
}

// ---- Rows with a rule of their own --------------------------------------------------------

// "Duplicate Message Behaviour" is three-way in two bits: byte 9 bit 4 overrides byte 8 bit 5.
// "Stored messages" and the baud rate leave the setting as it was for a code they do not know.
void DecodeRuleFields(const PagerImage& image, PagerSettings& s) {
    s.duplicateBehaviour = Bit(image, kDuplicateA, 5);
    if (Bit(image, kDuplicateB, 4) != 0) {
        s.duplicateBehaviour = kNotCheckDuplicates;
    }
    s.storedMessages =
        IndexOfCode(kStoredMessageCounts, image[kStoredMessages]).value_or(s.storedMessages);
    s.polarity = Bit(image, kRadioWord, 2);
    const std::uint8_t baud = (image[kRadioWord] >> 3) & 3;
    if (baud != 3) {
        s.baudRate = baud;
    }
}

void EncodeRuleFields(const PagerSettings& s, PagerImage& image) {
    SetBitIf(image, kDuplicateA, 5, s.duplicateBehaviour != 0);
    SetBitIf(image, kDuplicateB, 4, s.duplicateBehaviour == kNotCheckDuplicates);
    image[kStoredMessages] = CodeOfIndex(kStoredMessageCounts, s.storedMessages);
    SetBitIf(image, kRadioWord, 2, s.polarity == 1);
    if (s.baudRate == 1 || s.baudRate == 2) {
        image[kRadioWord] |= static_cast<std::uint8_t>(s.baudRate << 3);
    }
}

// ---- Texts --------------------------------------------------------------------------------

void DecodeTexts(const PagerImage& image, PagerSettings& s) {
    for (const TextField& field : kTextFields) {
        const auto begin = image.begin() + field.address;
        const auto end = std::find(begin, begin + field.width, std::uint8_t{0});
        std::string text(begin, end);
        if (field.layout == TextLayout::BlankPadded) {
            text.erase(text.find_last_not_of(' ') + 1);
        }
        s.*field.setting = std::move(text);
    }
}

std::string RightAligned(const std::string& text, std::size_t width) {
    const std::string padded = std::string(width, ' ') + text;
    return padded.substr(padded.size() - width);
}

void EncodeTexts(PagerSettings& s, PagerImage& image) {
    for (const TextField& field : kTextFields) {
        std::string& text = s.*field.setting;
        const auto begin = image.begin() + field.address;
        switch (field.layout) {
        case TextLayout::BlankPadded:
            std::fill_n(begin, field.width, std::uint8_t{' '});
            break;
        case TextLayout::ZeroPadded:
            break;
        case TextLayout::DigitPadded:
            text = PadFrequencyText(text);
            break;
        case TextLayout::RightAligned:
            text = RightAligned(text, field.width);
            break;
        }
        std::copy_n(text.begin(), std::min<std::size_t>(text.size(), field.width), begin);
    }
    const RadioWordBytes words = ComputeRadioWords(s.frequencyText);
    std::copy(words.begin(), words.end(), image.begin() + kRadioWords);
}

// ---- Capcode entries, time stamp, canned texts --------------------------------------------

std::ptrdiff_t EntryOffset(int index) {
    return std::ptrdiff_t{kCapcodeEntries} + std::ptrdiff_t{4} * index;
}

void DecodeCapcodeEntries(const PagerImage& image, PagerSettings& s) {
    for (int i = 0; i < PagerSettings::kCapcodes; ++i) {
        CapcodeEntryBytes bytes;
        std::copy_n(image.begin() + EntryOffset(i), 4, bytes.begin());
        const CapcodeEntry entry = DecodeCapcodeEntry(bytes);
        s.capcodeEnabled[i] = entry.enabled ? 1 : 0;
        s.capcodes[i] = entry.capcode;
    }
}

void EncodeCapcodeEntries(const PagerSettings& s, PagerImage& image) {
    for (int i = 0; i < PagerSettings::kCapcodes; ++i) {
        const CapcodeEntryBytes bytes =
            EncodeCapcodeEntry(i, {s.capcodeEnabled[i] != 0, s.capcodes[i]});
        std::copy(bytes.begin(), bytes.end(), image.begin() + EntryOffset(i));
    }
}

// The year is stored from 2000 on with the top bit set; the hour and minute of an unknown time
// are 0xFF.
void EncodeTimeStamp(const std::optional<LocalDateTime>& now, PagerImage& image) {
    std::array<std::uint8_t, 5> stamp{0xB0, 0, 0, 0xFF, 0xFF};
    if (now) {
        stamp = {static_cast<std::uint8_t>(0x80 | ((now->year + 48) & 0xFF)),
                 static_cast<std::uint8_t>(now->month), static_cast<std::uint8_t>(now->day),
                 static_cast<std::uint8_t>(now->hour), static_cast<std::uint8_t>(now->minute)};
    }
    std::copy(stamp.begin(), stamp.end(), image.begin() + kTimeStamp);
}

void DecodeCannedTexts(const PagerImage& image, PagerSettings& s) {
    auto from = image.begin() + kCannedTexts;
    for (PagerSettings::CannedText& text : s.cannedMessages) {
        std::copy_n(from, text.size(), text.begin());
        from += static_cast<std::ptrdiff_t>(text.size());
    }
}

// The last byte of every buffer is cleared so that each text ends with a zero byte.
void EncodeCannedTexts(PagerSettings& s, PagerImage& image) {
    auto to = image.begin() + kCannedTexts;
    for (PagerSettings::CannedText& text : s.cannedMessages) {
        text.back() = 0;
        to = std::copy(text.begin(), text.end(), to);
    }
}

} // namespace

std::optional<LocalDateTime> CurrentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (now == static_cast<std::time_t>(-1) || localtime_r(&now, &local) == nullptr) {
        return std::nullopt;
    }
    return LocalDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                         local.tm_min};
}

void DecodeImage(const PagerImage& image, Generation generation, PagerSettings& settings) {
    const bool v1 = generation == Generation::V1;
    DecodePlainFields(image, settings);
    DecodeModeDependent(image, v1, settings);
    DecodeRuleFields(image, settings);
    DecodeTexts(image, settings);
    DecodeCapcodeEntries(image, settings);
    DecodeCannedTexts(image, settings);
}

void EncodeImage(PagerSettings& settings, Generation generation,
                 const std::optional<LocalDateTime>& now, PagerImage& image) {
    const bool v1 = generation == Generation::V1;
    image.fill(0);
    const auto& identity = IdentityOf(generation);
    std::copy(identity.begin(), identity.end(), image.begin());
    for (const FixedValue& fixed : kFixedValues) {
        image[fixed.address] = fixed.value;
    }
    EncodePlainFields(settings, image);
    EncodeModeDependent(settings, v1, image);
    EncodeRuleFields(settings, image);
    EncodeTexts(settings, image);
    EncodeCapcodeEntries(settings, image);
    EncodeTimeStamp(now, image);
    EncodeCannedTexts(settings, image);
}
