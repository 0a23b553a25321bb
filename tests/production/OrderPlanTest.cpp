#include "production/OrderPlan.h"

#include <gtest/gtest.h>

namespace {

// A template with capcode rows 1 and 2 on (row 2 steps by +8) and row 3 off.
BatchTemplate Template() {
    PagerSettings settings;
    settings.capcodes = {1200000, 1200016, 777, 0, 0, 0, 0, 0};
    settings.capcodeEnabled = {1, 1, 0, 0, 0, 0, 0, 0};
    settings.autoIncrementStep = {0, 1, 0, 0, 0, 0, 0, 0};
    settings.serialNumber = "SN-0001";
    return TemplateOf(settings, Generation::V2);
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + "\n";
    }
    return text;
}

TEST(OrderPlan, AListNumbersItsColumnsAndSharesTheTemplateRowsItLeavesOut) {
    const AssignmentList list = ReadAssignmentList("serial,capcode2\nA-1,1300000\nA-2,\n");
    const OrderPlan plan = PlanFromList("depot", Template(), list, false);
    ASSERT_TRUE(plan.errors.empty()) << Joined(plan.errors);
    EXPECT_EQ(
        SharedRowsText(plan.content),
        std::vector<std::string>{"capcode 1, 1200000, is shared by every pager of this order"});
    // An empty cell leaves that row off on that pager: the template's capcode never fills it.
    const PagerSettings second =
        ApplyAssignment(plan.content.batchTemplate.settings, plan.content.batchTemplate.rows,
                        plan.content.assignments[1]);
    EXPECT_EQ(EnabledCapcodes(second), std::vector<std::uint32_t>{1200000});
    EXPECT_EQ(second.capcodes[1], 0u);
}

TEST(OrderPlan, RefusesWhatWouldPutOneNumberInTwoPagers) {
    struct Case {
        const char* list; // empty: --count 3
        bool sharedOnly;
        const char* error; // empty: accepted
    };
    const Case cases[] = {
        {"serial,capcode2\nA-1,1200000\n", false, "line 2: capcode 1200000 is the group capcode"},
        {"serial,capcode2\nA-1,1300000\nA-1,1300008\n", false,
         "line 3: serial \"A-1\" is already given on line 2"},
        {"serial\nA-1\n", false, "no pager of this order would carry a capcode of its own"},
        {"serial\nA-1\n", true, ""},
        {"serial,capcode2\nA-1,\n", false, "no pager of this order would carry"},
        {"", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        const OrderPlan plan =
            *c.list ? PlanFromList("depot", Template(), ReadAssignmentList(c.list), c.sharedOnly)
                    : PlanFromCount("depot", Template(), 3, c.sharedOnly);
        if (!*c.error) {
            EXPECT_TRUE(plan.errors.empty()) << Joined(plan.errors);
        } else {
            EXPECT_NE(Joined(plan.errors).find(c.error), std::string::npos) << Joined(plan.errors);
        }
    }
    // A count whose rows all step by "0" gives every pager the same capcodes.
    BatchTemplate still = Template();
    still.settings.autoIncrementStep[1] = 0;
    EXPECT_FALSE(PlanFromCount("depot", still, 3, false).errors.empty());
    EXPECT_TRUE(PlanFromCount("depot", still, 3, true).errors.empty());
}

} // namespace
