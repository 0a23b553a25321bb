#include "ui/pages/AlertSettingsPage.h"
#include "ui/pages/AlertingPage.h"
#include "ui/pages/CannedMessagePage.h"
#include "ui/pages/DisplayPage.h"
#include "ui/pages/DuplicateMessagesPage.h"
#include "ui/pages/GeneralPage.h"
#include "ui/pages/HandProgramPage.h"
#include "ui/pages/MessageSettingsPage.h"
#include "ui/pages/OtaPage.h"
#include "ui/pages/OutOfRangePage.h"
#include "ui/pages/PagerMenuPage.h"
#include "ui/pages/RfSettingsPage.h"
#include "ui/pages/ToneSettingsPage.h"
#include "ui/pages/UnreadMessagesPage.h"

#include "programming/ProgrammerContext.h"
#include "ui/controls/DialogUnits.h"
#include "ui/controls/SettingsTabControl.h"
#include "ui/controls/testing/RecordingMessageBoxService.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

struct PageKind {
    const char* name;
    int templateId;
    bool consumesEnter;
    std::function<std::unique_ptr<SettingsPage>(const PageEnvironment&)> make;
};

template <class Page> std::unique_ptr<SettingsPage> Make(const PageEnvironment& environment) {
    return std::make_unique<Page>(environment);
}

const PageKind kPages[] = {
    {"General", 130, false, Make<CInputCapcode>},
    {"Message Settings", 136, true, Make<CSPF>},
    {"Pager Menu Options", 134, true, Make<CMenuSet>},
    {"Hand Program", 133, true, Make<CHandWrite>},
    {"Tone Settings", 140, true, Make<CAddressSet>},
    {"Alert Settings", 144, true, Make<CAddressAlert>},
    {"Unread Messages", 150, true, Make<CUnreadSet>},
    {"Duplicate Messages", 146, false, Make<CRepeatSet>},
    {"Out of Range", 148, true, Make<COORSet>},
    {"RF Settings", 154, true, Make<CRFSet>},
    {"Alerting", 156, true, Make<CMsgAlert>},
    {"Display", 152, true, Make<CDisplaySet>},
    {"OTA", 158, true, Make<COTADlg>},
    {"Can Message 1", 160, false,
     [](const PageEnvironment& environment) -> std::unique_ptr<SettingsPage> {
         return std::make_unique<CCanMessage>(environment, 0);
     }},
    {"Can Message 2", 160, false,
     [](const PageEnvironment& environment) -> std::unique_ptr<SettingsPage> {
         return std::make_unique<CCanMessage>(environment, 1);
     }},
};

class SettingsPageTest : public ::testing::Test {
protected:
    ProgrammerContext context;
    RecordingMessageBoxService messages;
    PageEnvironment environment{context, messages};
};

// A page inside a dialog whose default button reacts to Enter, as the main window would.
struct PageInDialog {
    explicit PageInDialog(std::unique_ptr<SettingsPage> created) : page(created.release()) {
        auto* layout = new QVBoxLayout(&dialog);
        page->setParent(&dialog);
        layout->addWidget(page);
        probe = new QLineEdit(page);
        defaultButton = new QPushButton(QStringLiteral("Exit"), &dialog);
        defaultButton->setDefault(true);
        layout->addWidget(defaultButton);
        dialog.show();
    }

    QDialog dialog;
    SettingsPage* page;
    QLineEdit* probe;
    QPushButton* defaultButton;
};

TEST_F(SettingsPageTest, EnterIsSwallowedExceptOnThePagesThatLetItThrough) {
    for (const PageKind& kind : kPages) {
        SCOPED_TRACE(kind.name);
        PageInDialog host(kind.make(environment));
        EXPECT_EQ(host.page->templateId(), kind.templateId);
        EXPECT_EQ(host.page->consumesEnterKey(), kind.consumesEnter);
        QSignalSpy clicked(host.defaultButton, &QPushButton::clicked);
        QTest::keyClick(host.probe, Qt::Key_Return);
        QTest::keyClick(host.probe, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicked.count(), kind.consumesEnter ? 0 : 2);
    }
}

TEST_F(SettingsPageTest, OtherKeysStillReachTheControls) {
    PageInDialog host(Make<CAddressSet>(environment));
    QTest::keyClicks(host.probe, QStringLiteral("abc"));
    QTest::keyClick(host.probe, Qt::Key_Backspace);
    EXPECT_EQ(host.probe->text(), QStringLiteral("ab"));
}

TEST_F(SettingsPageTest, EnterOutsideAnyPageIsLeftAlone) {
    PageInDialog host(Make<CAddressSet>(environment));
    auto* outside = new QLineEdit(&host.dialog);
    QSignalSpy clicked(host.defaultButton, &QPushButton::clicked);
    QTest::keyClick(outside, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(SettingsPageTest, EnterStillWorksInADialogOpenedFromAPage) {
    PageInDialog host(Make<CAddressSet>(environment));
    QDialog child(host.page);
    auto* edit = new QLineEdit(&child);
    auto* ok = new QPushButton(QStringLiteral("OK"), &child);
    ok->setDefault(true);
    child.show();
    QSignalSpy clicked(ok, &QPushButton::clicked);
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(SettingsPageTest, EnterIsSwallowedAgainWhenTheLastPageIsGoneAndANewOneCreated) {
    { PageInDialog first(Make<CSPF>(environment)); }
    PageInDialog second(Make<CSPF>(environment));
    QSignalSpy clicked(second.defaultButton, &QPushButton::clicked);
    QTest::keyClick(second.probe, Qt::Key_Return);
    EXPECT_EQ(clicked.count(), 0);
}

TEST_F(SettingsPageTest, PagesFitTheTabControlsPageArea) {
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(8);
    CMyTab tabs;
    tabs.setFont(tahoma);
    tabs.resize(DialogSizeToPixels(QSize(343, 266), BaseUnitsOf(tahoma)));
    for (const PageKind& kind : kPages) {
        std::unique_ptr<SettingsPage> page = kind.make(environment);
        EXPECT_EQ(page->size(), SettingsPage::kPageSize) << kind.name;
    }
    EXPECT_TRUE(tabs.pageArea().contains(QRect(CMyTab::kPageOrigin, SettingsPage::kPageSize)))
        << tabs.pageArea().width() << "x" << tabs.pageArea().height();
}

// Exposes the protected helpers for the test.
class ProbePage final : public SettingsPage {
public:
    using SettingsPage::SettingsPage;
    void loadFromSettings() override {}
    void storeToSettings() override {}
    using SettingsPage::isV1Mode;
    using SettingsPage::isV2Mode;
    using SettingsPage::showMessage;
};

TEST_F(SettingsPageTest, ModeAndMessagesComeFromTheEnvironment) {
    QWidget window;
    ProbePage page(environment, 999, &window);
    EXPECT_TRUE(page.isV2Mode());
    context.state.programmingMode = kModeV1;
    EXPECT_TRUE(page.isV1Mode());
    EXPECT_FALSE(page.isV2Mode());

    messages.scriptAnswer(MessageAnswer::Cancel);
    const MessageRequest request{"Password error !", "V2 Pager Programmer", MessageIcon::Stop,
                                 MessageButtons::Ok};
    EXPECT_EQ(page.showMessage(request), MessageAnswer::Cancel);
    ASSERT_EQ(messages.shown().size(), 1u);
    EXPECT_EQ(messages.shown()[0].owner, &window) << "owned by the window, not the page";
    EXPECT_EQ(messages.shown()[0].request, request);
}

} // namespace
