#pragma once

#include "image/Generation.h"
#include "image/PagerImage.h"
#include "image/PagerSettings.h"

#include <cstdint>
#include <optional>

// A local date and time as the encoder stamps it into bytes 196..200.
struct LocalDateTime {
    int year = 2000; // e.g. 2026
    int month = 1;   // 1..12
    int day = 1;     // 1..31
    int hour = 0;    // 0..23
    int minute = 0;  // 0..59
};

// The local date and time now, or nothing when the clock cannot be converted.
std::optional<LocalDateTime> CurrentLocalTime();

// Image to settings by the memory map, in the given generation. Settings whose bytes
// fall outside their mapping keep the value they had. The image is not changed.
void DecodeImage(const PagerImage& image, Generation generation, PagerSettings& settings);

// Settings to image: every byte of the image is rebuilt. Writes back to the settings the
// padded frequency text, the right-aligned serial number and the canned-message buffers with
// their last byte cleared. Without a time, the time stamp gets its "not available" values.
void EncodeImage(PagerSettings& settings, Generation generation,
                 const std::optional<LocalDateTime>& now, PagerImage& image);
