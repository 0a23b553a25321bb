#include "MainWindowRig.h"

#include "link/CradleProtocol.h"
#include "link/sim/FactoryPagers.h"
#include "programming/ProgrammingTexts.h"
#include "ui/controls/HoverButton.h"

#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>

namespace {

bool TransferButtonsEnabled(const CTarnwick4730NewDlg& window) {
    return window.button(CTarnwick4730NewDlg::kReadId).isEnabled() &&
           window.button(CTarnwick4730NewDlg::kWriteId).isEnabled();
}

bool TransferButtonsDisabled(const CTarnwick4730NewDlg& window) {
    return !window.button(CTarnwick4730NewDlg::kReadId).isEnabled() &&
           !window.button(CTarnwick4730NewDlg::kWriteId).isEnabled();
}

TEST(CradleConnection, PluggingACradleInEnablesReadAndWrite) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    ASSERT_TRUE(TransferButtonsDisabled(window));
    QTest::qWait(3 * CTarnwick4730NewDlg::kTimerPeriodMs);
    EXPECT_TRUE(TransferButtonsDisabled(window));

    rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    EXPECT_TRUE(rig.WaitUntil([&] { return TransferButtonsEnabled(window); }, 1000));
    EXPECT_TRUE(rig.context.channel->IsOpen());
    EXPECT_TRUE(rig.messages.shown.empty());
}

TEST(CradleConnection, UnpluggingDuringAReadReportsOnceAndWaitsForTheCradle) {
    MainWindowRig rig;
    auto cradle = rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    CradleFaultPlan plan;
    plan.unplugAfter = 200; // in the second pass
    cradle->SetFaults(plan);
    CTarnwick4730NewDlg& window = rig.Start();
    ASSERT_TRUE(TransferButtonsEnabled(window));

    window.readClicked();
    ASSERT_TRUE(rig.WaitForTransfer());
    QTest::qWait(5 * CTarnwick4730NewDlg::kTimerPeriodMs);

    ASSERT_EQ(rig.messages.shown.size(), 1u);
    // The fixed box, with the exchange and the reason behind "Show Details...".
    MessageRequest box = rig.messages.shown.front().request;
    EXPECT_NE(box.details.find("read block 0x0A80 (2688)"), std::string::npos) << box.details;
    EXPECT_NE(box.details.find("unplugged"), std::string::npos) << box.details;
    box.details.clear();
    EXPECT_EQ(box, (MessageRequest{kUsbErrorText, "V2 Pager Programmer", MessageIcon::Stop,
                                   MessageButtons::Ok}));
    EXPECT_EQ(rig.messages.shown.front().owner, &window);
    EXPECT_TRUE(TransferButtonsDisabled(window));
    EXPECT_EQ(rig.context.image, PagerImage{});
    EXPECT_GT(window.progressBar().value(), 0); // left part-filled

    cradle->Plug();
    EXPECT_TRUE(rig.WaitUntil([&] { return TransferButtonsEnabled(window); }, 1000));
    EXPECT_EQ(rig.messages.shown.size(), 1u);
}

TEST(CradleConnection, TheCradleIsReopenedOnlyAfterTheWorkerHasEnded) {
    MainWindowRig rig;
    auto cradle = rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    CradleFaultPlan plan;
    plan.atExchange[10] = CradleFault::ReplyError; // the cradle stays plugged in
    cradle->SetFaults(plan);
    CTarnwick4730NewDlg& window = rig.Start();

    // The worker still owns the channel while its USB error box is open.
    bool closedDuringBox = false;
    rig.messages.whileOpen = [&](const MessageRequest&) {
        QTest::qWait(5 * CTarnwick4730NewDlg::kTimerPeriodMs);
        closedDuringBox = !rig.context.channel->IsOpen() && TransferButtonsDisabled(window);
    };
    window.readClicked();
    ASSERT_TRUE(rig.WaitForTransfer());

    EXPECT_EQ(rig.messages.Count(kUsbErrorText), 1);
    EXPECT_TRUE(closedDuringBox);
    EXPECT_TRUE(rig.WaitUntil([&] { return TransferButtonsEnabled(window); }, 1000));
    EXPECT_TRUE(rig.context.channel->IsOpen());
}

// A system that refuses access to the cradle, as the libusb backend reports it: once.
class RefusingBackend final : public InProcessCradleBackend {
public:
    std::optional<std::string> TakeAccessProblem() override { return std::exchange(problem, {}); }
    std::optional<std::string> problem = "No permission to open the cradle.";
};

TEST(CradleConnection, AnAccessProblemIsShownOnceAsInformation) {
    MainWindowRig rig;
    auto refusing = std::make_shared<RefusingBackend>();
    rig.context.usb = MakeLayerOver(refusing);
    CTarnwick4730NewDlg& window = rig.Start();
    ASSERT_TRUE(rig.WaitUntil([&] { return !rig.messages.shown.empty(); }, 1000));
    QTest::qWait(5 * CTarnwick4730NewDlg::kTimerPeriodMs);

    ASSERT_EQ(rig.messages.shown.size(), 1u);
    EXPECT_EQ(rig.messages.shown.front().request,
              (MessageRequest{"No permission to open the cradle.", "V2 Pager Programmer",
                              MessageIcon::Information, MessageButtons::Ok}));
    EXPECT_EQ(rig.messages.shown.front().owner, &window);
}

TEST(RepairWrite, TheTimerStartsARequestedRepairWithTheImageUnchanged) {
    MainWindowRig rig;
    PagerImage pager{};
    pager.fill(0x11);
    auto cradle = rig.PlugCradle(pager);
    rig.Start();

    PagerImage repaired = MakeFactoryPager(FactoryPager::V1);
    {
        std::lock_guard lock(rig.context.dataMutex);
        rig.context.image = repaired;
    }
    rig.context.state.repairWriteRequest = kRepairRequested;
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.context.state.repairWriteRequest == kRepairIdle; }));
    ASSERT_TRUE(rig.WaitForTransfer());

    // No identity question, no gather: the image went out as it was.
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.context.image, repaired);
    const PagerImage written = cradle->Memory();
    EXPECT_TRUE(std::equal(repaired.begin(), repaired.begin() + 256, written.begin()));
    EXPECT_TRUE(
        std::equal(repaired.begin() + 1024, repaired.begin() + 5120, written.begin() + 1024));
    EXPECT_FALSE(std::filesystem::exists(rig.Path("TempData.sav")));
}

TEST(RepairWrite, ARequestDuringATransferWaitsForTheNextWrite) {
    MainWindowRig rig;
    auto cradle = rig.PlugCradle(MakeFactoryPager(FactoryPager::V1));
    CTarnwick4730NewDlg& window = rig.Start();

    // The write stops at the V1-pager question; meanwhile the repair dialog asks for a write.
    rig.messages.answers = {MessageAnswer::Cancel};
    rig.messages.whileOpen = [&](const MessageRequest&) {
        rig.context.state.repairWriteRequest = kRepairRequested;
        QTest::qWait(5 * CTarnwick4730NewDlg::kTimerPeriodMs);
    };
    window.writeClicked();
    ASSERT_TRUE(rig.WaitForTransfer());
    rig.messages.whileOpen = nullptr;
    const std::uint64_t exchanges = cradle->exchangeCount();
    QTest::qWait(5 * CTarnwick4730NewDlg::kTimerPeriodMs);

    EXPECT_EQ(rig.messages.Count(kV1PagerQuestion), 1);
    EXPECT_EQ(rig.context.state.repairWriteRequest.load(), kRepairUnderWay);
    EXPECT_EQ(cradle->exchangeCount(), exchanges); // the timer does not start it again
}

} // namespace
