#include "programming/SerialNumber.h"

#include <gtest/gtest.h>

namespace {

std::string Blanks(std::size_t count) {
    return std::string(count, ' ');
}

struct SerialCase {
    std::string before;
    std::string after;
};

class SerialNumberAdvance : public testing::TestWithParam<SerialCase> {};

TEST_P(SerialNumberAdvance, CountsUpLikeAnOdometer) {
    EXPECT_EQ(AdvanceSerialNumber(GetParam().before), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, SerialNumberAdvance,
    testing::Values(
        SerialCase{"1234567890123409", "1234567890123410"},
        SerialCase{Blanks(12) + "AB-Z", Blanks(12) + "AC-A"},
        SerialCase{std::string(16, 'Z'), std::string(16, 'A')},
        SerialCase{"SN-0099", Blanks(9) + "SN-0100"}, SerialCase{"", Blanks(16)},
        SerialCase{Blanks(5), Blanks(16)},
        // Longer numbers keep their last 16 characters.
        SerialCase{"XY1234567890123456", "1234567890123457"},
        // '@' is the letter before 'A'; lower case and other characters are passed over.
        SerialCase{"A@", Blanks(14) + "AA"}, SerialCase{"a9", Blanks(14) + "a0"},
        SerialCase{"B\xC4"
                   "9",
                   Blanks(13) + "C\xC4"
                                "0"},
        // A carry out of the first character is dropped.
        SerialCase{"9999999999999999", "0000000000000000"}));

} // namespace
