#include "image/RadioWords.h"

namespace {

constexpr std::size_t kTextWidth = 8;
constexpr std::uint32_t kOffsetUnits = 214000;    // 21.4 MHz
constexpr std::uint32_t kLowBandLimit = 2000000;  // 200 MHz
constexpr std::uint32_t kHighBandStart = 9000000; // 900 MHz
constexpr std::uint16_t kLowBandWord = 0x0500;
constexpr std::uint16_t kMidBandWord = 0x0780;
constexpr std::uint16_t kHighBandWord = 0x0280;

// Weights of the characters at positions 0..7; the decimal point at 3 weighs nothing.
constexpr std::uint32_t kDigitWeights[kTextWidth] = {1000000, 100000, 10000, 0, 1000, 100, 10, 1};

std::uint32_t DigitValue(char c) {
    const std::uint32_t code = static_cast<unsigned char>(c);
    return code > '/' ? code - '0' : code;
}

} // namespace

std::string PadFrequencyText(std::string_view text) {
    std::string padded(text.substr(0, kTextWidth));
    padded.resize(kTextWidth, '0');
    return padded;
}

std::uint32_t FrequencyUnits(std::string_view paddedText) {
    std::uint32_t units = 0;
    for (std::size_t i = 0; i < kTextWidth && i < paddedText.size(); ++i) {
        units += DigitValue(paddedText[i]) * kDigitWeights[i];
    }
    return units;
}

RadioWordBytes ComputeRadioWords(std::string_view paddedText) {
    const std::uint32_t units = FrequencyUnits(paddedText);
    std::uint32_t offset = units - kOffsetUnits;
    if (units >= kHighBandStart) {
        offset /= 5;
    }
    const std::uint32_t channel = offset / 25;
    const std::uint16_t band = units < kLowBandLimit    ? kLowBandWord
                               : units < kHighBandStart ? kMidBandWord
                                                        : kHighBandWord;
    return {
        static_cast<std::uint8_t>(channel >> 16), static_cast<std::uint8_t>(channel >> 8),
        static_cast<std::uint8_t>(channel),       static_cast<std::uint8_t>(band >> 8),
        static_cast<std::uint8_t>(band),
    };
}
