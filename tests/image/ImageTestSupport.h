#pragma once

#include "image/Generation.h"
#include "image/ImageCodec.h"

#include <cstdint>
#include <random>
#include <string>

inline const LocalDateTime kTestTime{2026, 3, 5, 10, 20};

inline PagerImage EncodeFor(PagerSettings settings, Generation mode) {
    PagerImage image{};
    EncodeImage(settings, mode, kTestTime, image);
    return image;
}

inline PagerSettings DecodeFrom(const PagerImage& image, Generation mode,
                                PagerSettings start = {}) {
    DecodeImage(image, mode, start);
    return start;
}

// An image with settings decoded from it; bytes only ever come from the generator.
inline PagerImage RandomImage(std::uint32_t seed, int lowest = 0) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> byte(lowest, 255);
    PagerImage image{};
    for (std::uint8_t& b : image) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    return image;
}

inline std::string Bytes(const PagerImage& image, std::size_t from, std::size_t count) {
    return std::string(image.begin() + from, image.begin() + from + count);
}
