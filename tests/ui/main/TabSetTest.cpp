#include "MainWindowRig.h"
#include "tests/ui/WindowTabCaptions.h"

#include "image/ImageCodec.h"
#include "link/sim/FactoryPagers.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/SettingsTabControl.h"
#include "ui/pages/CannedMessagePage.h"
#include "ui/pages/GeneralPage.h"
#include "ui/pages/OtaPage.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const std::vector<QString> kV2Tabs = [] {
    std::vector<QString> tabs;
    for (const char* caption : kWindowTabCaptions) {
        tabs.push_back(QString::fromLatin1(caption));
    }
    return tabs;
}();

std::vector<QString> WithoutOta(std::vector<QString> tabs) {
    std::erase(tabs, QString(" OTA "));
    return tabs;
}

void Unlock(MainWindowRig& rig) {
    rig.context.state.tabLockState = TabLockState::UnlockRequested;
    ASSERT_TRUE(rig.WaitUntil([&] { return rig.window->tabControl().tabCount() > 1; }, 1000));
}

TEST(TabSet, UnlockingShowsEveryTabOfTheMode) {
    struct Case {
        Generation mode;
        std::vector<QString> tabs;
    };
    for (const Case& c :
         {Case{Generation::V2, kV2Tabs}, Case{Generation::V1, WithoutOta(kV2Tabs)}}) {
        SCOPED_TRACE(c.tabs.size());
        MainWindowRig rig;
        CTarnwick4730NewDlg& window = rig.Start();
        rig.context.state.programmingMode = c.mode;
        Unlock(rig);

        EXPECT_EQ(rig.TabCaptions(), c.tabs);
        EXPECT_EQ(rig.context.state.tabLockState.load(), TabLockState::Unlocked);
        EXPECT_EQ(rig.VisiblePages(), std::vector<PageKind>{PageKind::General});
        EXPECT_EQ(window.tabControl().currentIndex(), 0);
        auto* privateHeader = FindControl<QLabel>(&window.pages().page(PageKind::General),
                                                  CInputCapcode::kPrivateHeader);
        ASSERT_NE(privateHeader, nullptr);
        EXPECT_TRUE(privateHeader->isVisible());
    }
}

TEST(TabSet, ChoosingATabShowsOnlyItsPage) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    Unlock(rig);
    const std::vector<std::pair<int, PageKind>> choices = {{3, PageKind::PagerMenu},
                                                           {1, PageKind::Ota},
                                                           {14, PageKind::CanMessage2},
                                                           {0, PageKind::General}};
    for (const auto& [tab, kind] : choices) {
        window.tabControl().setCurrentIndex(tab);
        EXPECT_EQ(rig.VisiblePages(), std::vector<PageKind>{kind}) << tab;
    }
}

TEST(TabSet, ARebuildLeavesGeneralSelectedAndAloneOnScreen) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    Unlock(rig);
    window.tabControl().setCurrentIndex(1);
    ASSERT_EQ(rig.VisiblePages(), std::vector<PageKind>{PageKind::Ota});

    // As after a read of a V1 pager: the mode changes and the set is rebuilt without the tab
    // that was showing.
    rig.context.state.programmingMode = Generation::V1;
    window.RebuildTabs();

    EXPECT_EQ(rig.TabCaptions(), WithoutOta(kV2Tabs));
    EXPECT_EQ(window.tabControl().currentIndex(), 0);
    EXPECT_EQ(rig.VisiblePages(), std::vector<PageKind>{PageKind::General});
}

TEST(TabSet, ARebuildWhileLockedKeepsTheSingleTab) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    rig.context.state.programmingMode = Generation::V1;
    window.RebuildTabs();
    EXPECT_EQ(rig.TabCaptions(), std::vector<QString>{" General "});
    EXPECT_EQ(rig.context.state.tabLockState.load(), TabLockState::Locked);
    EXPECT_EQ(rig.VisiblePages(), std::vector<PageKind>{PageKind::General});
}

// "OK" is the General page's default button: Enter on the page presses it, Enter on the status
// box or the tab strip does not.
TEST(EnterKey, PressesTheGeneralPagesOkOnlyFromThatPage) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    auto* password = FindControl<QLineEdit>(&window.pages().page(PageKind::General),
                                            CInputCapcode::kPasswordEdit);
    QTest::keyClick(&window.statusBox(), Qt::Key_Return);
    QTest::keyClick(&window.tabControl(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(rig.messages.shown.empty());

    QTest::keyClick(password, Qt::Key_Return);
    EXPECT_EQ(rig.messages.Count("Password error !"), 1);
}

TEST(ShowSettings, SetsTheTitleByModeAndTheSecondCannedPageHeadings) {
    MainWindowRig rig;
    CTarnwick4730NewDlg& window = rig.Start();
    rig.context.state.programmingMode = Generation::V1;
    window.ShowSettings();
    EXPECT_EQ(window.windowTitle(), "4730 & 6920 Pager Programmer v3.05 (V1 mode)");
    rig.context.state.programmingMode = Generation::V2;
    window.ShowSettings();
    EXPECT_EQ(window.windowTitle(), "4730 & 6920 Pager Programmer v3.05 (V2 mode)");

    for (const auto& [kind, first] :
         {std::pair{PageKind::CanMessage1, 1}, std::pair{PageKind::CanMessage2, 5}}) {
        for (int column = 0; column < 4; ++column) {
            auto* heading = FindControl<QLabel>(&window.pages().page(kind),
                                                CCanMessage::kFirstHeading + column);
            ASSERT_NE(heading, nullptr);
            EXPECT_EQ(heading->text(), QStringLiteral("Capcode %1").arg(first + column));
        }
    }
}

// The OTA page stands for every page outside General: stored only once unlocked, and then in
// V1 mode too although it has no tab there.
TEST(GatherPages, StoresPagesOutsideGeneralOnlyOnceUnlocked) {
    struct Case {
        bool unlock;
        Generation mode;
        bool stored;
    };
    for (const Case& c : {Case{false, Generation::V2, false}, Case{true, Generation::V2, true},
                          Case{true, Generation::V1, true}}) {
        SCOPED_TRACE(c.unlock * 10 + ModeNumber(c.mode));
        MainWindowRig rig;
        CTarnwick4730NewDlg& window = rig.Start();
        rig.context.state.programmingMode = c.mode;
        if (c.unlock) {
            Unlock(rig);
        }
        auto* ota =
            FindControl<QCheckBox>(&window.pages().page(PageKind::Ota), COTADlg::kEnableBox);
        ASSERT_NE(ota, nullptr);
        ASSERT_EQ(rig.context.settings.otaEnable, 0);
        ota->setChecked(true);

        window.GatherPages();

        EXPECT_EQ(rig.context.settings.otaEnable, c.stored ? 1 : 0);
        PagerSettings decoded;
        DecodeImage(rig.context.image, c.mode, decoded);
        EXPECT_EQ(decoded.otaEnable, c.stored ? 1 : 0);
        const auto& identity = c.mode == Generation::V2 ? kIdentityV2 : kIdentityV1;
        EXPECT_TRUE(std::equal(identity.begin(), identity.end(), rig.context.image.begin()));
        EXPECT_EQ(ReadFileBytes(rig.Path("TempData.sav")), rig.context.image);
    }
}

} // namespace
