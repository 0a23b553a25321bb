#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

// The receive frequency as the pager's synthesizer takes it: a 24-bit channel number (bytes
// 13..15) and a 16-bit band word (bytes 16..17), both big-endian, derived from the frequency
// text "DDD.DDDD" in MHz.
using RadioWordBytes = std::array<std::uint8_t, 5>;

// The text padded on the right with the digit 0 and cut to 8 characters.
std::string PadFrequencyText(std::string_view text);

// The frequency in units of 100 Hz from the digits at positions 0..2 and 4..7 of the padded
// text; position 3, the decimal point, takes no part. Characters above '/' count as their
// distance from '0', others as their own code.
std::uint32_t FrequencyUnits(std::string_view paddedText);

// Channel steps of 2.5 kHz from 21.4 MHz (12.5 kHz steps from 900 MHz up). Frequencies below
// 21.4 MHz wrap around in 32-bit arithmetic and are written as computed.
RadioWordBytes ComputeRadioWords(std::string_view paddedText);
