#include "production/CountedNumbering.h"

#include "image/Generation.h"

#include <gtest/gtest.h>

namespace {

// Indexes of the "Auto Increment" list.
constexpr std::uint8_t kStep0 = 0, kPlus8 = 1, kMinus8 = 2, kPlus1 = 3, kMinus1 = 4;

PagerSettings TemplateWith(
    std::initializer_list<std::tuple<std::size_t, std::uint32_t, std::uint8_t>> enabledRows) {
    PagerSettings settings;
    for (const auto& [row, capcode, step] : enabledRows) {
        settings.capcodes[row - 1] = capcode;
        settings.capcodeEnabled[row - 1] = 1;
        settings.autoIncrementStep[row - 1] = step;
    }
    return settings;
}

TEST(CountedNumbering, AdvancesEachEnabledRowByItsStepAndTheSerialNumber) {
    PagerSettings settings = TemplateWith(
        {{1, 1000, kPlus8}, {2, 500, kStep0}, {4, 100, kMinus1}, {5, 70, 255}, {6, 3000, kPlus1}});
    settings.capcodes[2] = 2000; // disabled: not numbered
    settings.autoIncrementStep[2] = kPlus1;
    settings.serialNumber = "SN-0098";

    const CountedNumbering numbering = NumberPagers(settings, 3);

    ASSERT_EQ(numbering.error, "");
    const std::string blanks(9, ' ');
    const std::vector<std::pair<std::string, std::array<std::uint32_t, 3>>> expected = {
        {"SN-0098", {1000, 100, 3000}},
        {blanks + "SN-0099", {1008, 99, 3001}},
        {blanks + "SN-0100", {1016, 98, 3002}},
    };
    ASSERT_EQ(numbering.assignments.size(), expected.size());
    for (std::size_t pager = 0; pager < expected.size(); ++pager) {
        SCOPED_TRACE(pager);
        Assignment assignment;
        assignment.serialNumber = expected[pager].first;
        assignment.capcodes[0] = expected[pager].second[0];
        assignment.capcodes[3] = expected[pager].second[1];
        assignment.capcodes[5] = expected[pager].second[2];
        EXPECT_EQ(numbering.assignments[pager], assignment) << "steps 0 and 255 are not assigned";
    }

    CapcodeRows rows = TemplateRows(settings);
    rows[0] = rows[3] = rows[5] = CapcodeRowKind::Individual;
    const PagerSettings third = ApplyAssignment(settings, rows, numbering.assignments[2]);
    EXPECT_EQ(EnabledCapcodes(third), (std::vector<std::uint32_t>{1016, 500, 98, 70, 3002}));
    EXPECT_EQ(third.serialNumber, blanks + "SN-0100");
}

struct RefusedNumbering {
    const char* name;
    PagerSettings settings;
    std::size_t goodCount; // the most pagers that can be numbered
    std::string error;     // for one pager more
};

const RefusedNumbering kRefused[] = {
    {"BeyondTheLargestCapcode", TemplateWith({{2, 2097135, kPlus8}}), 3,
     "the capcode of row 2 would go beyond 2097151 at pager 4 (from 2097151 by +8); at most 3 "
     "pagers can be numbered from this template"},
    {"BelowTheLowestCapcode", TemplateWith({{1, 24, kMinus8}}), 3,
     "the capcode of row 1 would go below 8 at pager 4 (from 8 by -8); at most 3 pagers can be "
     "numbered from this template"},
    {"TwoRowsMeetOnOneCapcode", TemplateWith({{1, 100, kPlus1}, {3, 102, kPlus1}}), 2,
     "capcode 102 would go to pager 1 in row 3 and to pager 3 in row 1"},
};

class CountedNumberingLimits : public testing::TestWithParam<RefusedNumbering> {};

TEST_P(CountedNumberingLimits, StopBeforeACapcodeIsHandedOutTwice) {
    const RefusedNumbering& limit = GetParam();
    EXPECT_EQ(NumberPagers(limit.settings, limit.goodCount).error, "");
    const CountedNumbering refused = NumberPagers(limit.settings, limit.goodCount + 1);
    EXPECT_EQ(refused.error, limit.error);
    EXPECT_TRUE(refused.assignments.empty());
}

INSTANTIATE_TEST_SUITE_P(Limits, CountedNumberingLimits, testing::ValuesIn(kRefused),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CountedNumbering, RefusesATemplateCapcodeNoPagerTakes) {
    EXPECT_EQ(NumberPagers(TemplateWith({{4, 0, kPlus8}}), 1).error,
              "the template's capcode 0 in row 4 is outside 8 .. 2097151");
}

} // namespace
