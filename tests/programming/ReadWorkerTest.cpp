#include "ProgrammingTestSupport.h"

#include "image/ImageCodec.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

const std::vector<std::string> kReadStart = {"range:0..137", "step-size:1", "position:0",
                                             "position:0"};

struct GenerationCase {
    FactoryPager pager;
    Generation mode;
    Generation modeAfter;
    std::vector<std::string> ending;
};

class ReadGeneration : public testing::TestWithParam<GenerationCase> {};

// The pager's generation decides the mode: a change is silent, a match blinks "Read OK !".
TEST_P(ReadGeneration, AcceptsAgreeingPassesAndFollowsThePager) {
    const GenerationCase& param = GetParam();
    const PagerImage pager = MakeFactoryPager(param.pager);
    ProgrammingRig rig(pager);
    rig.context.image = PatternImage(3);
    rig.context.state.programmingMode = param.mode;

    rig.Read();

    EXPECT_EQ(rig.host.Outline(), Concat(kReadStart, param.ending));
    EXPECT_EQ(rig.host.Count("step"), 2 * 138);
    EXPECT_EQ(rig.context.image, AsRead(pager));
    EXPECT_EQ(rig.context.state.programmingMode.load(), param.modeAfter);
    PagerSettings decoded;
    DecodeImage(AsRead(pager), param.modeAfter, decoded);
    EXPECT_EQ(rig.context.settings, decoded);
    for (const auto& call : rig.host.calls) {
        EXPECT_TRUE(call.busy) << call.what;
    }
    EXPECT_FALSE(rig.context.state.busy);
    EXPECT_EQ(rig.sleeps.size(), param.modeAfter == param.mode ? 12u : 0u);
    for (const auto sleep : rig.sleeps) {
        EXPECT_EQ(sleep, 200ms);
    }
}

INSTANTIATE_TEST_SUITE_P(
    PagerAndMode, ReadGeneration,
    testing::Values(GenerationCase{FactoryPager::V2, Generation::V2, Generation::V2,
                                   Concat({"decode:V2", "show:V2"}, BlinkCalls("Read OK !"))},
                    GenerationCase{FactoryPager::V1, Generation::V1, Generation::V1,
                                   Concat({"decode:V1", "show:V1"}, BlinkCalls("Read OK !"))},
                    GenerationCase{FactoryPager::V1,
                                   Generation::V2,
                                   Generation::V1,
                                   {"decode:V1", "rebuild:V1", "show:V1"}},
                    GenerationCase{FactoryPager::V2,
                                   Generation::V1,
                                   Generation::V2,
                                   {"decode:V2", "rebuild:V2", "show:V2"}}));

const std::string kReadError = StopMessage(Padded(4, "Read error !", 5), "V2 Pager Programmer");

// A byte that reads differently in the second pass, in either region, rejects the read.
TEST(ReadRejected, WhenThePassesDisagreeTheImageStays) {
    for (const std::uint16_t flakyAddress : {0, 319, 1024, 5119}) {
        ProgrammingRig rig(MakeFactoryPager(FactoryPager::V1));
        rig.context.image = PatternImage(5);
        CradleFaultPlan plan;
        plan.flakyAddress = flakyAddress;
        rig.cradle->SetFaults(plan);

        const TransferOutcome outcome = rig.Read();

        EXPECT_EQ(rig.host.Outline(), Concat(kReadStart, {kReadError})) << flakyAddress;
        EXPECT_EQ(outcome.result, TransferResult::PassesDiffer);
        EXPECT_NE(outcome.details.find("(" + std::to_string(flakyAddress) + ")"), std::string::npos)
            << outcome.details;
        EXPECT_EQ(rig.context.image, PatternImage(5));
        EXPECT_EQ(rig.context.state.programmingMode.load(), Generation::V2);
        EXPECT_FALSE(rig.context.state.busy);
    }
}

// Without a valid identity the data read replaces the image but is not decoded.
TEST(ReadRejected, WithoutAValidIdentityTheImageIsReplacedButNotDecoded) {
    PagerImage nearMiss = MakeFactoryPager(FactoryPager::V2);
    nearMiss[0] = 'w';
    for (const PagerImage& pager : {MakeFactoryPager(FactoryPager::None), nearMiss}) {
        ProgrammingRig rig(pager);
        rig.context.image = PatternImage(7);
        const PagerSettings before = rig.context.settings;

        rig.Read();

        EXPECT_EQ(rig.host.Outline(), Concat(kReadStart, {kReadError}));
        EXPECT_EQ(rig.context.image, AsRead(pager));
        EXPECT_EQ(rig.context.settings, before);
        EXPECT_EQ(rig.context.state.programmingMode.load(), Generation::V2);
        EXPECT_FALSE(rig.context.state.busy);
    }
}

} // namespace
