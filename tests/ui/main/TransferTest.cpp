#include "MainWindowRig.h"

#include "image/ImageCodec.h"
#include "link/sim/FactoryPagers.h"
#include "programming/ProgrammingTexts.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/HoverButton.h"
#include "ui/controls/SettingsTabControl.h"
#include "ui/pages/ChangeSerialPasswordDialog.h"
#include "ui/pages/GeneralPage.h"
#include "ui/pages/RepairPagerDialog.h"
#include "ui/pages/ToneSettingsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <tuple>

namespace {

constexpr std::uint64_t kExchangesPerRead = std::uint64_t{2} * 138;

// What a read leaves in the image: the areas never read are zero.
PagerImage AsRead(const PagerImage& memory) {
    PagerImage image{};
    std::copy(memory.begin(), memory.begin() + 320, image.begin());
    std::copy(memory.begin() + 1024, memory.begin() + 5120, image.begin() + 1024);
    return image;
}

TEST(ReadCommand, ASecondClickWhileReadingStartsNothing) {
    MainWindowRig rig;
    const PagerImage memory = MakeFactoryPager(FactoryPager::V2);
    auto cradle = rig.PlugCradle(memory);
    CTarnwick4730NewDlg& window = rig.Start();

    QTest::mouseClick(&window.button(CTarnwick4730NewDlg::kReadId), Qt::LeftButton);
    QTest::mouseClick(&window.button(CTarnwick4730NewDlg::kReadId), Qt::LeftButton);
    window.writeClicked();
    ASSERT_TRUE(rig.WaitForTransfer());

    EXPECT_EQ(cradle->exchangeCount(), kExchangesPerRead);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.context.image, AsRead(memory));
    EXPECT_EQ(ReadFileBytes(rig.Path("TempData.sav")), rig.context.image);
    EXPECT_FALSE(rig.context.state.busy.load());
}

TEST(ReadCommand, APagerOfTheOtherGenerationSwitchesModeAndTitleSilently) {
    MainWindowRig rig;
    const PagerImage memory = MakeFactoryPager(FactoryPager::V1);
    rig.PlugCradle(memory);
    CTarnwick4730NewDlg& window = rig.Start();

    window.readClicked();
    ASSERT_TRUE(rig.WaitForTransfer());

    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(rig.context.state.programmingMode.load(), Generation::V1);
    EXPECT_EQ(window.windowTitle(), "4730 & 6920 Pager Programmer v3.05 (V1 mode)");
    EXPECT_EQ(rig.TabCaptions(), std::vector<QString>{" General "});
    EXPECT_EQ(rig.VisiblePages(), std::vector<PageKind>{PageKind::General});
    PagerSettings expected;
    DecodeImage(AsRead(memory), Generation::V1, expected);
    EXPECT_EQ(rig.context.settings, expected);
}

// Accepting the switch reloads the pages from the settings in the new mode: what was typed must
// be there to come back (the next write sends what the pages show). Cancel changes nothing.
// Both directions, with the tabs locked and unlocked.
TEST(WriteCommand, TheModeSwitchKeepsWhatWasTypedOnThePages) {
    for (const bool unlocked : {false, true}) {
        SCOPED_TRACE(unlocked ? "unlocked" : "locked");
        MainWindowRig rig;
        auto cradle = rig.PlugCradle(MakeFactoryPager(FactoryPager::V1));
        CTarnwick4730NewDlg& window = rig.Start();
        window.readClicked();
        ASSERT_TRUE(rig.WaitForTransfer());
        if (unlocked) {
            rig.context.state.tabLockState = TabLockState::UnlockRequested;
            ASSERT_TRUE(rig.WaitUntil([&] { return window.tabControl().tabCount() > 1; }));
        }
        auto* capcode = FindControl<QLineEdit>(&window.pages().page(PageKind::General),
                                               CInputCapcode::kCapcodeEdits[0]);
        auto* tone = FindControl<QComboBox>(&window.pages().page(PageKind::ToneSettings),
                                            CAddressSet::FirstToneList(1));
        for (const auto& [pager, mode, typed, toneB] :
             {std::tuple{FactoryPager::V2, Generation::V2, "1234568", 2},
              std::tuple{FactoryPager::V1, Generation::V1, "765432", 1}}) {
            capcode->setText(QString::fromLatin1(typed));
            tone->setCurrentIndex(toneB);
            cradle->SetMemory(MakeFactoryPager(pager));
            const PagerSettings before = rig.context.settings;
            rig.messages.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
            window.writeClicked();
            ASSERT_TRUE(rig.WaitForTransfer());
            EXPECT_EQ(rig.context.settings, before) << "cancelled";
            window.writeClicked();
            ASSERT_TRUE(rig.WaitForTransfer());
            ASSERT_EQ(rig.context.state.programmingMode.load(), mode);
            EXPECT_EQ(capcode->text(), QString::fromLatin1(typed));
            if (unlocked) {
                EXPECT_EQ(tone->currentIndex(), toneB);
            }
        }
    }
}

// Acts on the next modal dialog from inside its own event loop, as a person would.
template <class Dialog> void WhenOpen(std::function<void(Dialog&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
    });
}

void Click(QWidget* root, int id) {
    QTest::mouseClick(FindControl<QAbstractButton>(root, id), Qt::LeftButton);
}

// The General page of a window whose tabs and serial number are unlocked, as a technician
// unlocks them.
struct UnlockedGeneralPage {
    explicit UnlockedGeneralPage(MainWindowRig& rig) : rig(rig), window(rig.Start()) {
        window.readClicked();
        EXPECT_TRUE(rig.WaitForTransfer());
        QTest::keyClicks(Edit(CInputCapcode::kPasswordEdit), QStringLiteral("techmod417"));
        Click(&page, CInputCapcode::kOkButton);
        EXPECT_TRUE(rig.WaitUntil([&] { return window.tabControl().tabCount() > 1; }));
        WhenOpen<CChangeSNPassword>([](CChangeSNPassword& dialog) {
            QTest::keyClicks(FindControl<QLineEdit>(&dialog, CChangeSNPassword::kCodeEdit),
                             QStringLiteral("techmod952"));
            Click(&dialog, CChangeSNPassword::kOkButton);
        });
        Click(&page, CInputCapcode::kChangeSerialButton);
        EXPECT_TRUE(Edit(CInputCapcode::kSerialEdit)->isEnabled());
    }

    QLineEdit* Edit(int id) const { return FindControl<QLineEdit>(&page, id); }
    QCheckBox* Box(int id) const { return FindControl<QCheckBox>(&page, id); }
    void Type(int id, const QString& text) const {
        Edit(id)->selectAll();
        QTest::keyClicks(Edit(id), text);
    }
    // What the technician sees and has typed, in the order of the page.
    std::vector<std::string> Shown() const {
        std::vector<std::string> shown;
        for (std::size_t row = 0; row < PagerSettings::kCapcodes; ++row) {
            shown.push_back(Edit(CInputCapcode::kCapcodeEdits[row])->text().toStdString());
        }
        shown.push_back(Edit(CInputCapcode::kStartupTextEdit)->text().toStdString());
        shown.push_back(Edit(CInputCapcode::kSerialEdit)->text().toStdString());
        return shown;
    }

    MainWindowRig& rig;
    CTarnwick4730NewDlg& window;
    CInputCapcode& page = window.pages().general();
};

// A repair sends "default.sav" and nothing of the pages: the General page keeps what it shows
// and what was typed since the last write, and neither the serial number nor a capcode
// advances, whatever INC and the Auto Increment lists say.
TEST(RepairCommand, LeavesTheGeneralPageAsItWas) {
    MainWindowRig rig;
    auto cradle = rig.PlugCradle(MakeFactoryPager(FactoryPager::V2));
    UnlockedGeneralPage general(rig);
    if (::testing::Test::HasFatalFailure()) {
        return;
    }
    CTarnwick4730NewDlg& window = general.window;

    // An ordinary write first: the numbers advance, and the last INC state is left ticked.
    general.Box(CInputCapcode::kEnableBoxes[0])->setChecked(true);
    FindControl<QComboBox>(&general.page, CInputCapcode::kStepLists[0])->setCurrentIndex(1);
    general.Type(CInputCapcode::kCapcodeEdits[0], QStringLiteral("1200000"));
    general.Type(CInputCapcode::kSerialEdit, QStringLiteral("SN0001"));
    general.Box(CInputCapcode::kSerialIncrementBox)->setChecked(true);
    window.writeClicked();
    ASSERT_TRUE(rig.WaitForTransfer());
    ASSERT_EQ(general.Edit(CInputCapcode::kCapcodeEdits[0])->text(), QStringLiteral("1200008"));
    ASSERT_EQ(general.Edit(CInputCapcode::kSerialEdit)->text().trimmed(), "SN0002");

    // Typed, never written.
    general.Box(CInputCapcode::kSerialIncrementBox)->setChecked(false);
    general.Type(CInputCapcode::kCapcodeEdits[0], QStringLiteral("1200800"));
    general.Type(CInputCapcode::kStartupTextEdit, QStringLiteral("UNSAVED2"));
    const std::vector<std::string> typed = general.Shown();

    PagerImage file = MakeFactoryPager(FactoryPager::V1);
    WriteFileBytes(rig.Path("default.sav"), file.data(), file.size());
    WhenOpen<CRepairPager>([](CRepairPager& dialog) {
        Click(&dialog, CRepairPager::kV2Button);
        Click(&dialog, CRepairPager::kExitButton);
    });
    Click(&general.page, CInputCapcode::kRepairButton);
    // The window's timer starts the repair write once the dialog has asked for it.
    ASSERT_TRUE(rig.WaitUntil([&] {
        return rig.context.state.repairWriteRequest.load() == kRepairIdle &&
               !window.isTransferRunning();
    }));

    std::copy(kIdentityV2.begin(), kIdentityV2.end(), file.begin());
    const PagerImage memory = cradle->Memory();
    EXPECT_TRUE(std::equal(file.begin(), file.begin() + 256, memory.begin()))
        << "the pager holds default.sav";
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_EQ(general.Shown(), typed);
    EXPECT_FALSE(general.Box(CInputCapcode::kSerialIncrementBox)->isChecked());
}

// A write that waits on its V1-pager question keeps a worker running as long as needed.
struct HeldWrite {
    explicit HeldWrite(MainWindowRig& rig) : rig(rig) {
        rig.PlugCradle(MakeFactoryPager(FactoryPager::V1));
        rig.messages.answers = {MessageAnswer::Cancel};
    }
    MainWindowRig& rig;
};

TEST(TransferGuards, SaveAndLoadAreRefusedWhileAWorkerRuns) {
    MainWindowRig rig;
    HeldWrite held(rig);
    CTarnwick4730NewDlg& window = rig.Start();
    const QString target = QString::fromStdString(rig.Path("x.sav").string());
    rig.files.answers = {target, target};
    bool checked = false;
    rig.messages.whileOpen = [&](const MessageRequest&) {
        EXPECT_FALSE(window.button(CTarnwick4730NewDlg::kSaveId).isEnabled());
        EXPECT_FALSE(window.button(CTarnwick4730NewDlg::kLoadId).isEnabled());
        window.saveClicked();
        window.loadClicked();
        checked = true;
    };
    window.writeClicked();
    ASSERT_TRUE(rig.WaitForTransfer());
    ASSERT_TRUE(checked);

    EXPECT_TRUE(rig.files.requests.empty());
    EXPECT_FALSE(std::filesystem::exists(rig.Path("x.sav")));
    EXPECT_TRUE(rig.WaitUntil([&] {
        return window.button(CTarnwick4730NewDlg::kSaveId).isEnabled() &&
               window.button(CTarnwick4730NewDlg::kLoadId).isEnabled();
    }));
}

TEST(TransferGuards, ClosingWhileAWorkerRunsWaitsForIt) {
    // Every way of closing: the Exit button, Escape, the close box.
    const std::vector<std::function<void(CTarnwick4730NewDlg&)>> closers = {
        [](CTarnwick4730NewDlg& window) { window.button(CTarnwick4730NewDlg::kExitId).click(); },
        [](CTarnwick4730NewDlg& window) { QTest::keyClick(&window, Qt::Key_Escape); },
        [](CTarnwick4730NewDlg& window) { window.close(); },
    };
    for (std::size_t i = 0; i < closers.size(); ++i) {
        SCOPED_TRACE(i);
        MainWindowRig rig;
        HeldWrite held(rig);
        CTarnwick4730NewDlg& window = rig.Start();
        bool stayedOpen = false;
        rig.messages.whileOpen = [&](const MessageRequest&) {
            closers[i](window);
            QTest::qWait(3 * CTarnwick4730NewDlg::kTimerPeriodMs);
            stayedOpen = window.isVisible() && window.isClosePending();
        };
        window.writeClicked();
        ASSERT_TRUE(rig.WaitForTransfer());
        EXPECT_TRUE(stayedOpen);
        EXPECT_TRUE(rig.WaitUntil([&] { return !window.isVisible(); }));
        EXPECT_FALSE(window.isClosePending());
        EXPECT_EQ(rig.messages.Count(kV1PagerQuestion), 1);
    }
}

TEST(TransferGuards, DestroyingTheWindowDuringATransferStopsTheWorker) {
    MainWindowRig rig;
    HeldWrite held(rig);
    CTarnwick4730NewDlg& window = rig.Start();
    bool destroyed = false;
    rig.messages.whileOpen = [&](const MessageRequest&) {
        // Leaves the box first, as an application shutting down would.
        QTimer::singleShot(0, [&] {
            rig.window.reset();
            destroyed = true;
        });
    };
    window.writeClicked();
    ASSERT_TRUE(rig.WaitUntil([&] { return destroyed; }));
    EXPECT_EQ(rig.context.channel, nullptr);
    EXPECT_FALSE(rig.context.state.busy.load());
}

} // namespace
