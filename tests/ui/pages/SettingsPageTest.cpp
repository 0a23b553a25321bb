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
    std::function<std::unique_ptr<SettingsPage>(const PageEnvironment&)> make;
};

template <class Page> std::unique_ptr<SettingsPage> Make(const PageEnvironment& environment) {
    return std::make_unique<Page>(environment);
}

const PageKind kPages[] = {
    {"General", 130, Make<CInputCapcode>},
    {"Message Settings", 136, Make<CSPF>},
    {"Pager Menu Options", 134, Make<CMenuSet>},
    {"Hand Program", 133, Make<CHandWrite>},
    {"Tone Settings", 140, Make<CAddressSet>},
    {"Alert Settings", 144, Make<CAddressAlert>},
    {"Unread Messages", 150, Make<CUnreadSet>},
    {"Duplicate Messages", 146, Make<CRepeatSet>},
    {"Out of Range", 148, Make<COORSet>},
    {"RF Settings", 154, Make<CRFSet>},
    {"Alerting", 156, Make<CMsgAlert>},
    {"Display", 152, Make<CDisplaySet>},
    {"OTA", 158, Make<COTADlg>},
    {"Can Message 1", 160,
     [](const PageEnvironment& environment) -> std::unique_ptr<SettingsPage> {
         return std::make_unique<CCanMessage>(environment, 0);
     }},
    {"Can Message 2", 160,
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
    PageInDialog(const PageInDialog&) = delete;
    PageInDialog& operator=(const PageInDialog&) = delete;

    // The dialog owns the page and the widgets, as Qt parents do.
    QDialog dialog;
    SettingsPage* page;
    // cppcheck-suppress unsafeClassCanLeak
    QLineEdit* probe;
    // cppcheck-suppress unsafeClassCanLeak
    QPushButton* defaultButton;
};

// A page with no controls of its own, exposing the protected helpers for the tests.
class ProbePage final : public SettingsPage {
public:
    ProbePage(const PageEnvironment& environment, bool consumeEnter, QWidget* parent = nullptr)
        : SettingsPage(environment, 999, parent) {
        if (!consumeEnter) {
            letEnterKeyThrough();
        }
    }
    void loadFromSettings() override {}
    void storeToSettings() override {}
    using SettingsPage::isV1Mode;
    using SettingsPage::isV2Mode;
    using SettingsPage::showMessage;
};

TEST_F(SettingsPageTest, EveryPageHasItsTemplate) {
    for (const PageKind& kind : kPages) {
        EXPECT_EQ(kind.make(environment)->templateId(), kind.templateId) << kind.name;
    }
}

TEST_F(SettingsPageTest, EnterOnAControlReachesTheWindowOnlyWhenThePageLetsItThrough) {
    for (const bool consume : {true, false}) {
        PageInDialog host(std::make_unique<ProbePage>(environment, consume));
        QSignalSpy clicked(host.defaultButton, &QPushButton::clicked);
        QTest::keyClick(host.probe, Qt::Key_Return);
        QTest::keyClick(host.probe, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicked.count(), consume ? 0 : 2) << (consume ? "consumed" : "let through");
    }
}

// Only Enter, only inside a page, and only up to a window border: other keys, controls
// outside pages and dialogs opened from a page are left alone, also after the last page has
// gone and a new one has been made.
TEST_F(SettingsPageTest, EnterIsSwallowedNowhereElse) {
    {
        // Built and destroyed on purpose: the page that came before must leave nothing behind.
        // cppcheck-suppress unreadVariable
        PageInDialog earlier(std::make_unique<ProbePage>(environment, true));
    }
    PageInDialog host(std::make_unique<ProbePage>(environment, true));
    QTest::keyClicks(host.probe, QStringLiteral("abc"));
    QTest::keyClick(host.probe, Qt::Key_Backspace);
    EXPECT_EQ(host.probe->text(), QStringLiteral("ab"));

    QSignalSpy exitClicked(host.defaultButton, &QPushButton::clicked);
    QTest::keyClick(host.probe, Qt::Key_Return);
    EXPECT_EQ(exitClicked.count(), 0);
    QTest::keyClick(new QLineEdit(&host.dialog), Qt::Key_Return);
    EXPECT_EQ(exitClicked.count(), 1);

    QDialog child(host.page);
    auto* ok = new QPushButton(QStringLiteral("OK"), &child);
    ok->setDefault(true);
    auto* childEdit = new QLineEdit(&child);
    child.show();
    QSignalSpy okClicked(ok, &QPushButton::clicked);
    QTest::keyClick(childEdit, Qt::Key_Return);
    EXPECT_EQ(okClicked.count(), 1);
}

TEST_F(SettingsPageTest, PagesFitTheTabControlsPageArea) {
    QFont tahoma(QStringLiteral("Tahoma"));
    tahoma.setPointSize(8);
    CMyTab tabs;
    tabs.setFont(tahoma);
    tabs.resize(DialogSizeToPixels(QSize(343, 266), BaseUnitsOf(tahoma)));
    for (const PageKind& kind : kPages) {
        std::unique_ptr<SettingsPage> page = kind.make(environment);
        page->setParent(&tabs); // the tab control's font, as in the window
        EXPECT_TRUE(tabs.pageArea().contains(QRect(CMyTab::kPageOrigin, page->size())))
            << kind.name << " " << page->width() << "x" << page->height();
    }
    EXPECT_TRUE(tabs.pageArea().contains(QRect(CMyTab::kPageOrigin, SettingsPage::kPageSize)))
        << tabs.pageArea().width() << "x" << tabs.pageArea().height();
}

TEST_F(SettingsPageTest, ModeAndMessagesComeFromTheEnvironment) {
    QWidget window;
    ProbePage page(environment, true, &window);
    EXPECT_TRUE(page.isV2Mode());
    context.state.programmingMode = Generation::V1;
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
