// Band labels for the frequency text, at every boundary of the band table.
#include "image/FrequencyBand.h"

#include <gtest/gtest.h>

namespace {

const std::string kInvalid = "Frequency invalid ";
std::string Band(const char* range) {
    return std::string("Frequency band ") + range + " ";
}

struct BandCase {
    std::string text;
    std::string label;
};

TEST(FrequencyBand, EveryBoundary) {
    const BandCase cases[] = {
        {"136.9999", kInvalid},
        {"137.0000", Band("138MHz - 143MHz")},
        {"142.9999", Band("138MHz - 143MHz")},
        {"143.0000", Band("143MHz - 151MHz")},
        {"150.9999", Band("143MHz - 151MHz")},
        {"151.0000", Band("151MHz - 159MHz")},
        {"158.9999", Band("151MHz - 159MHz")},
        {"159.0000", Band("159MHz - 167MHz")},
        {"166.9999", Band("159MHz - 167MHz")},
        {"167.0000", Band("167MHz - 174MHz")},
        {"179.9999", Band("167MHz - 174MHz")},
        {"180.0000", kInvalid},
        {"129.0000", kInvalid},
        {"426.9999", kInvalid},
        {"427.0000", Band("428MHz - 432MHz")},
        {"430.9999", Band("428MHz - 432MHz")},
        {"431.0000", Band("432MHz - 436MHz")},
        {"435.9999", Band("432MHz - 436MHz")},
        {"436.5000", Band("438MHz - 442MHz")},
        {"441.9999", Band("438MHz - 442MHz")},
        {"442.0000", Band("442MHz - 446MHz")},
        {"445.9999", Band("442MHz - 446MHz")},
        {"446.0000", Band("444MHz - 448MHz")},
        {"447.9999", Band("444MHz - 448MHz")},
        {"448.0000", Band("448MHz - 452MHz")},
        {"451.9999", Band("448MHz - 452MHz")},
        {"452.0000", Band("452MHz - 456MHz")},
        {"455.9999", Band("452MHz - 456MHz")},
        {"456.0000", Band("456MHz - 460MHz")},
        {"459.9999", Band("456MHz - 460MHz")},
        {"460.0000", Band("460MHz - 464MHz")},
        {"463.9999", Band("460MHz - 464MHz")},
        {"464.0000", Band("464MHz - 468MHz")},
        {"467.9999", Band("464MHz - 468MHz")},
        {"468.0000", Band("468MHz - 472MHz")},
        {"479.9999", Band("468MHz - 472MHz")},
        {"480.0000", kInvalid},
        {"420.0000", kInvalid},
        {"9", Band("928MHz - 932MHz")},
        {"930.0000", Band("928MHz - 932MHz")},
        {"9xy", Band("928MHz - 932MHz")},
        {"999.9999", Band("928MHz - 932MHz")},
        {"200.0000", kInvalid},
        {"800.0000", kInvalid},
        // Characters are compared by unsigned code: anything above '9' counts as "or above".
        {"13\xE9", Band("138MHz - 143MHz")},
        {"13/", kInvalid},
        {"1\xB3"
         "9",
         kInvalid},
        {"\xB1"
         "52",
         kInvalid},
        // Missing characters read as code 0, below every digit.
        {"", kInvalid},
        {"1", kInvalid},
        {"4", kInvalid},
        {"13", kInvalid},
        {"14", Band("138MHz - 143MHz")},
        {"15", Band("143MHz - 151MHz")},
        {"17", Band("167MHz - 174MHz")},
        {"43", Band("428MHz - 432MHz")},
        {"46", Band("460MHz - 464MHz")},
    };
    for (const BandCase& c : cases) {
        EXPECT_EQ(FrequencyBandLabel(c.text), c.label) << "text \"" << c.text << "\"";
    }
}

} // namespace
