// Encoding the initial settings and the bytes no setting owns.
#include "ImageTestSupport.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

using Range = std::pair<std::size_t, std::size_t>; // first and last address

const std::vector<Range> kReserved = {{23, 30},   {83, 91},   {102, 102},  {111, 127},
                                      {217, 255}, {272, 287}, {296, 1023}, {5120, 8191}};

void ExpectReservedZero(const PagerImage& image) {
    for (const auto& [first, last] : kReserved) {
        for (std::size_t a = first; a <= last; ++a) {
            ASSERT_EQ(image[a], 0) << "address " << a;
        }
    }
}

TEST(InitialEncode, V2BytesMatchTheMap) {
    const PagerImage image = EncodeFor({}, Generation::V2);
    EXPECT_EQ(Bytes(image, 0, 4), "W50C");
    const std::pair<std::size_t, int> expected[] = {
        {4, 0x80}, {5, 0},    {6, 0},   {7, 0},      {8, 0x1C},   {9, 0x04}, {10, 0},    {20, 4},
        {21, 4},   {32, 40},  {33, 0},  {34, 32},    {36, 0xF0},  {96, 10},  {97, 0},    {98, 8},
        {99, 0},   {100, 22}, {101, 0}, {160, 0x41}, {161, 0x28}, {162, 0},  {163, 0xF8}};
    for (const auto& [address, value] : expected) {
        EXPECT_EQ(image[address], value) << "address " << address;
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(image[164 + 4 * i], 0x60);
        EXPECT_EQ(image[165 + 4 * i], i << 5);
    }
    EXPECT_EQ(Bytes(image, 92, 4), "3916");
    EXPECT_EQ(Bytes(image, 256, 16), std::string(16, ' '));
    EXPECT_EQ(Bytes(image, 55, 20), std::string(20, ' '));
    EXPECT_EQ(Bytes(image, 103, 8), "00000000");
    ExpectReservedZero(image);
}

TEST(InitialEncode, V1DiffersOnlyInTheModeCodedBytes) {
    const PagerImage v1 = EncodeFor({}, Generation::V1);
    PagerImage v2 = EncodeFor({}, Generation::V2);
    EXPECT_EQ(Bytes(v1, 0, 4), "2011");
    EXPECT_EQ(v1[33], 10);
    EXPECT_EQ(v1[97], 0);
    EXPECT_EQ(v1[6], 0x01); // capcodes shown at power-on, inverted
    for (std::size_t a = 4; a < v1.size(); ++a) {
        if (a != 6 && a != 33) {
            EXPECT_EQ(v1[a], v2[a]) << "address " << a;
        }
    }
}

TEST(InitialEncode, AnySettingsLeaveReservedBytesZero) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        for (Generation mode : {Generation::V1, Generation::V2}) {
            const PagerSettings settings = DecodeFrom(RandomImage(seed), mode);
            ExpectReservedZero(EncodeFor(settings, mode));
        }
    }
}

TEST(TimeStamp, LocalTimeAndUnavailableTime) {
    PagerSettings settings;
    PagerImage image{};
    EncodeImage(settings, Generation::V2, LocalDateTime{2026, 12, 31, 23, 59}, image);
    EXPECT_EQ(Bytes(image, 196, 5), "\x9A\x0C\x1F\x17\x3B");
    EncodeImage(settings, Generation::V2, LocalDateTime{2127, 1, 1, 0, 0}, image);
    EXPECT_EQ(image[196], 0xFF);
    EncodeImage(settings, Generation::V2, std::nullopt, image);
    EXPECT_EQ(Bytes(image, 196, 5), std::string("\xB0\x00\x00\xFF\xFF", 5));
}

TEST(TimeStamp, CurrentLocalTimeIsPlausible) {
    const auto now = CurrentLocalTime();
    ASSERT_TRUE(now.has_value());
    EXPECT_GE(now->year, 2024);
    EXPECT_GE(now->month, 1);
    EXPECT_LE(now->month, 12);
}

} // namespace
