#include "ProgrammingTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace std::chrono_literals;

// A rig whose settings pass the capcode check.
struct WriteRig : ProgrammingRig {
    explicit WriteRig(FactoryPager pager = FactoryPager::V2, std::uint8_t mode = kModeV2)
        : ProgrammingRig(MakeFactoryPager(pager)), before(cradle->Memory()) {
        context.state.programmingMode = mode;
        context.settings = WritableSettings();
    }
    // Whether pager memory begin..end equals the image there.
    bool PagerHolds(std::size_t begin, std::size_t end, const PagerImage& image) const {
        const PagerImage memory = cradle->Memory();
        return std::equal(memory.begin() + begin, memory.begin() + end, image.begin() + begin);
    }
    bool PagerUnchanged() const { return cradle->Memory() == before; }

    PagerImage before;
};

std::vector<std::string> WriteSuccess(int lastProgress) {
    return Concat({"range:0.." + std::to_string(lastProgress), "step-size:1", "position:0"},
                  Concat(BlinkCalls("WRITE OK !"), {"increment"}));
}

const std::string kCaption = "Pager Programmer";

// Matching pagers get the gathered image, every block verified; the serial-number block only
// once writing it is enabled.
TEST(Write, SendsTheGatheredImageToAMatchingPager) {
    struct Case {
        FactoryPager pager;
        std::uint8_t mode;
        bool serialWrite;
    };
    for (const Case& c :
         {Case{FactoryPager::V2, kModeV2, false}, Case{FactoryPager::V1, kModeV1, false},
          Case{FactoryPager::V2, kModeV2, true}}) {
        WriteRig rig(c.pager, c.mode);
        rig.context.state.serialWriteEnabled = c.serialWrite;

        rig.Write();

        const int blocks = c.serialWrite ? 138 : 137;
        EXPECT_EQ(rig.host.Outline(), Concat({"gather"}, WriteSuccess(blocks - 1)));
        EXPECT_EQ(rig.host.Count("step"), blocks);
        EXPECT_EQ(rig.cradle->exchangeCount(), blocks + 2u);
        EXPECT_EQ(rig.context.image[0], c.mode == kModeV2 ? 'W' : '2');
        EXPECT_TRUE(rig.PagerHolds(0, 256, rig.context.image));
        EXPECT_TRUE(rig.PagerHolds(256, 288, c.serialWrite ? rig.context.image : rig.before));
        EXPECT_TRUE(rig.PagerHolds(288, 320, rig.context.image));
        EXPECT_TRUE(rig.PagerHolds(320, 1024, rig.before));
        EXPECT_TRUE(rig.PagerHolds(1024, 5120, rig.context.image));
        EXPECT_TRUE(rig.PagerHolds(5120, 8192, rig.before));
        // The busy flag is clear only for the capcode increment.
        for (const auto& call : rig.host.calls) {
            EXPECT_EQ(call.busy, call.what != "increment") << call.what;
        }
        EXPECT_EQ(rig.sleeps, std::vector(12, std::chrono::milliseconds(200ms)));
    }
}

// A pager of the other generation only offers the switch; "Message number order" keeps the
// chosen entry across the V1 list and the longer V2 list.
TEST(Write, OffersTheModeSwitchAndWritesNothing) {
    const std::string v2Question =
        "message:V2 pager detected. Would you like to change to V2 programming screen? "
        "|Pager Programmer|none|ok-cancel";
    const std::string v1Question =
        "message:V1 pager detected. Would you like to change to V1 programming screen? "
        "|Pager Programmer|none|ok-cancel";
    struct Case {
        FactoryPager pager;
        std::uint8_t mode;
        MessageAnswer answer;
        std::uint8_t orderBefore;
        std::uint8_t orderAfter;
        std::vector<std::string> outline;
    };
    const Case cases[] = {
        {FactoryPager::V2, kModeV1, MessageAnswer::Ok, 1, 2, {v2Question, "rebuild:V2", "show:V2"}},
        {FactoryPager::V2, kModeV1, MessageAnswer::Ok, 0, 1, {v2Question, "rebuild:V2", "show:V2"}},
        {FactoryPager::V2,
         kModeV1,
         MessageAnswer::Ok,
         255,
         255,
         {v2Question, "rebuild:V2", "show:V2"}},
        {FactoryPager::V2, kModeV1, MessageAnswer::Cancel, 1, 1, {v2Question}},
        {FactoryPager::V1, kModeV2, MessageAnswer::Ok, 2, 1, {v1Question, "rebuild:V1", "show:V1"}},
        {FactoryPager::V1, kModeV2, MessageAnswer::Ok, 0, 0, {v1Question, "rebuild:V1", "show:V1"}},
        {FactoryPager::V1, kModeV2, MessageAnswer::Cancel, 2, 2, {v1Question}},
    };
    for (const Case& c : cases) {
        WriteRig rig(c.pager, c.mode);
        rig.context.settings.messageNumberOrder = c.orderBefore;
        rig.host.answers = {c.answer};

        rig.Write();

        EXPECT_EQ(rig.host.Outline(), c.outline);
        EXPECT_EQ(rig.context.settings.messageNumberOrder, c.orderAfter);
        const bool switched = c.answer == MessageAnswer::Ok;
        EXPECT_EQ(rig.context.state.programmingMode.load(), switched ? 1 - c.mode : c.mode);
        EXPECT_TRUE(rig.PagerUnchanged());
        EXPECT_EQ(rig.cradle->exchangeCount(), 1u);
        EXPECT_FALSE(rig.context.state.busy);
    }
}

TEST(Write, RefusesAnEmptyCradle) {
    WriteRig rig(FactoryPager::None);
    rig.Write();
    EXPECT_EQ(rig.host.Outline(),
              std::vector<std::string>{"message:Cannot detect pager or invalid pager in cradle "
                                       "!|Pager Programmer|information|ok"});
    EXPECT_EQ(rig.cradle->exchangeCount(), 1u);
    EXPECT_FALSE(rig.context.state.busy);
}

// Capcodes below 8 stop the write after the gather; an unused row (0, disabled) does not.
TEST(Write, ChecksCapcodesAfterTheGather) {
    const std::string zero = StopMessage("Capcode cannot less 8 ! ", kCaption);
    const std::string belowEight = StopMessage("Capcode cannot less 8 !  ", kCaption);
    struct Case {
        int row;
        std::uint32_t capcode;
        bool enabled;
        std::string refusal; // empty: written
    };
    const Case cases[] = {
        {2, 0, true, zero},       {2, 0, false, ""},         {2, 5, false, belowEight},
        {7, 7, true, belowEight}, {7, 1, false, belowEight}, {2, 8, true, ""},
        {0, 0, true, zero},
    };
    for (const Case& c : cases) {
        WriteRig rig;
        rig.context.settings.capcodes[c.row] = c.capcode;
        rig.context.settings.capcodeEnabled[c.row] = c.enabled;

        rig.Write();

        if (c.refusal.empty()) {
            EXPECT_EQ(rig.host.Outline(), Concat({"gather"}, WriteSuccess(136))) << c.capcode;
        } else {
            EXPECT_EQ(rig.host.Outline(), (std::vector<std::string>{"gather", c.refusal}));
            EXPECT_EQ(rig.cradle->exchangeCount(), 1u);
        }
    }
}

// The first row wins when several rows are wrong.
TEST(Write, ReportsTheFirstWrongCapcodeRow) {
    WriteRig rig;
    rig.context.settings.capcodes[3] = 3;
    rig.context.settings.capcodeEnabled[5] = 1;
    rig.Write();
    EXPECT_EQ(rig.host.Messages(), std::vector{StopMessage("Capcode cannot less 8 !  ", kCaption)});
}

// A block whose echo differs in one byte stops the write where it happened.
TEST(Write, StopsAtTheFirstBlockThatDoesNotVerify) {
    for (const std::uint64_t exchange : {1, 9, 137}) {
        WriteRig rig;
        rig.cradle->InjectAt(exchange, CradleFault::CorruptReplyByte);

        const TransferOutcome outcome = rig.Write();

        EXPECT_EQ(rig.host.Outline(),
                  (std::vector<std::string>{"gather", "range:0..136", "step-size:1",
                                            StopMessage(Padded(2, "Write error !", 10), kCaption),
                                            "position:0"}));
        EXPECT_EQ(rig.host.Count("step"), static_cast<int>(exchange));
        EXPECT_EQ(rig.cradle->exchangeCount(), exchange + 1);
        // The last byte of the block came back one bit off.
        const std::uint32_t block = exchange == 1 ? 0 : exchange == 9 ? 288 : 5088;
        EXPECT_EQ(outcome.result, TransferResult::BlockMismatch);
        EXPECT_EQ(outcome.address, block);
        EXPECT_EQ(outcome.blocksWritten, exchange - 1);
        EXPECT_NE(outcome.details.find("(" + std::to_string(block + 31) + ") was sent"),
                  std::string::npos)
            << outcome.details;
        EXPECT_FALSE(rig.context.state.busy);
    }
}

// The final read of block 0 must name either generation, whatever the mode.
TEST(Write, ChecksTheIdentityAgainAtTheEnd) {
    WriteRig rig;
    CradleFaultPlan plan;
    plan.flakyAddress = 0; // right for the first read, wrong for the final one
    rig.cradle->SetFaults(plan);

    EXPECT_EQ(rig.Write().result, TransferResult::FinalCheckFailed);

    const auto outline = rig.host.Outline();
    EXPECT_EQ(std::vector(outline.end() - 2, outline.end()),
              (std::vector<std::string>{StopMessage(Padded(2, "Write error !", 7), kCaption),
                                        "position:0"}));
    EXPECT_EQ(rig.host.Count("increment"), 0);
}

// A repair write sends the prepared image as it is: no identity question, no gather, no
// capcode check; the request is done once the blocks start.
TEST(Write, RepairSendsThePreparedImageUnchanged) {
    WriteRig rig(FactoryPager::V1, kModeV2);
    PagerImage prepared = PatternImage(9);
    std::copy(kIdentityV1.begin(), kIdentityV1.end(), prepared.begin());
    rig.context.image = prepared;
    rig.context.settings.capcodes[4] = 5;
    rig.context.state.repairWriteRequest = kRepairUnderWay;
    rig.host.onCall = [&](const RecordingHost::Call& call) {
        if (call.what == "step" || call.what == "range:0..136") {
            EXPECT_EQ(rig.context.state.repairWriteRequest.load(),
                      call.what == "step" ? kRepairIdle : kRepairUnderWay);
        }
    };

    rig.Write();

    // Nothing advances after it: the pager holds the file's numbers, not the pages'.
    auto success = WriteSuccess(136);
    success.pop_back();
    EXPECT_EQ(rig.host.Outline(), success);
    EXPECT_EQ(rig.context.image, prepared);
    EXPECT_TRUE(rig.PagerHolds(0, 256, prepared));
    EXPECT_TRUE(rig.PagerHolds(256, 288, rig.before));
    EXPECT_TRUE(rig.PagerHolds(288, 320, prepared));
    EXPECT_TRUE(rig.PagerHolds(1024, 5120, prepared));
    EXPECT_EQ(rig.context.state.repairWriteRequest.load(), kRepairIdle);
}

// A repair requested while a normal write runs is kept for the next write.
TEST(Write, KeepsARepairRequestedDuringANormalWrite) {
    WriteRig rig;
    rig.host.onCall = [&](const RecordingHost::Call& call) {
        if (call.what == "gather") {
            rig.context.state.repairWriteRequest = kRepairUnderWay;
        }
    };
    rig.Write();
    EXPECT_EQ(rig.host.Count("increment"), 1);
    EXPECT_EQ(rig.context.state.repairWriteRequest.load(), kRepairUnderWay);
}

// The pager gets the image as it was when the first block went out, even if the window
// replaces the image meanwhile.
TEST(Write, SendsASnapshotOfTheImage) {
    WriteRig rig;
    PagerImage sent;
    rig.host.onCall = [&](const RecordingHost::Call& call) {
        if (call.what == "step-size:1") {
            sent = rig.context.image;
        } else if (call.what == "step") {
            rig.context.image = PatternImage(11);
        }
    };
    rig.Write();
    EXPECT_TRUE(rig.PagerHolds(0, 256, sent));
    EXPECT_TRUE(rig.PagerHolds(1024, 5120, sent));
}

// The next pager of a batch gets the next serial number, only with INC and all tabs shown.
TEST(Write, AdvancesTheSerialNumberForTheNextPager) {
    // The gather's encode right-aligns the number in its 16 characters.
    const std::string written = Padded(8, "SN-A0099", 0);
    const std::string advanced = Padded(8, "SN-A0100", 0);
    struct Case {
        bool increment;
        TabLockState lock;
        std::string serialAfter;
    };
    for (const Case& c :
         {Case{true, TabLockState::Unlocked, advanced}, Case{true, TabLockState::Locked, written},
          Case{true, TabLockState::UnlockRequested, written},
          Case{false, TabLockState::Unlocked, written}}) {
        WriteRig rig;
        rig.context.settings.serialNumber = "SN-A0099";
        rig.context.state.serialAutoIncrement = c.increment;
        rig.context.state.tabLockState = c.lock;

        rig.Write();

        EXPECT_EQ(rig.context.settings.serialNumber, c.serialAfter);
        const auto outline = rig.host.Outline();
        EXPECT_EQ(outline[outline.size() - 2],
                  c.serialAfter == advanced ? "load-general:" + advanced : "status:");
    }
}

} // namespace
