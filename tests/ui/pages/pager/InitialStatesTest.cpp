#include "PagerPagesTestSupport.h"

#include "ui/pages/DisplayPage.h"
#include "ui/pages/DuplicateMessagesPage.h"
#include "ui/pages/MessageSettingsPage.h"
#include "ui/pages/OtaPage.h"
#include "ui/pages/OutOfRangePage.h"
#include "ui/pages/PagerMenuPage.h"
#include "ui/pages/RfSettingsPage.h"
#include "ui/pages/UnreadMessagesPage.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace {

// What each page shows before any image is decoded, in V2 mode as at start-up.
class InitialStatesTest : public PagerPagesTest {
protected:
    // Every list of the page shows its first item, except the ones named.
    void expectFirstItems(SettingsPage& page, std::initializer_list<int> except = {}) {
        for (QComboBox* list : page.findChildren<QComboBox*>()) {
            if (std::find(except.begin(), except.end(), ControlIdOf(list)) == except.end()) {
                EXPECT_EQ(list->currentIndex(), 0) << ControlIdOf(list);
            }
        }
    }
    std::vector<std::unique_ptr<SettingsPage>> openAll() {
        std::vector<std::unique_ptr<SettingsPage>> pages;
        pages.push_back(open<CMenuSet>());
        pages.push_back(open<CDisplaySet>());
        pages.push_back(open<CUnreadSet>());
        pages.push_back(open<CRepeatSet>());
        pages.push_back(open<COORSet>());
        pages.push_back(open<CSPF>());
        pages.push_back(open<CRFSet>());
        pages.push_back(open<COTADlg>());
        return pages;
    }
    void expectUnchecked(SettingsPage& page, std::initializer_list<int> except = {}) {
        for (QCheckBox* box : page.findChildren<QCheckBox*>()) {
            const bool checked =
                std::find(except.begin(), except.end(), ControlIdOf(box)) != except.end();
            EXPECT_EQ(box->isChecked(), checked) << ControlIdOf(box);
        }
    }
};

TEST_F(InitialStatesTest, PagerMenuAndDisplay) {
    auto menu = open<CMenuSet>();
    expectUnchecked(*menu);
    expectFirstItems(*menu);
    EXPECT_FALSE(Box(*menu, CMenuSet::kPrivateTimeBox)->isEnabled());

    auto display = open<CDisplaySet>();
    expectFirstItems(*display, {CDisplaySet::kStoredMessagesList});
    EXPECT_EQ(Shown(List(*display, CDisplaySet::kStoredMessagesList)), QStringLiteral("10"));
}

TEST_F(InitialStatesTest, MessageHandlingPages) {
    auto unread = open<CUnreadSet>();
    expectFirstItems(*unread);
    EXPECT_FALSE(List(*unread, CUnreadSet::kAlertTimesList)->isEnabled());
    auto duplicate = open<CRepeatSet>();
    expectFirstItems(*duplicate);
    EXPECT_TRUE(List(*duplicate, CRepeatSet::kCheckingList)->isEnabled());
    auto messageSettings = open<CSPF>();
    expectFirstItems(*messageSettings);

    auto outOfRange = open<COORSet>();
    expectFirstItems(*outOfRange, {COORSet::kIntervalList});
    EXPECT_EQ(Shown(List(*outOfRange, COORSet::kIntervalList)), QStringLiteral("4 Minutes"));
    EXPECT_EQ(storeAndEncode(*outOfRange)[21], 4);
}

TEST_F(InitialStatesTest, RfAndOta) {
    auto rf = open<CRFSet>();
    EXPECT_EQ(Shown(List(*rf, CRFSet::kBaudRateList)), QStringLiteral("1200BPS"));
    EXPECT_EQ(Shown(List(*rf, CRFSet::kPolarityList)), QStringLiteral("Normal"));
    EXPECT_EQ(Control<QLineEdit>(*rf, CRFSet::kFrequencyEdit)->text(), QString());
    EXPECT_EQ(Control<QLabel>(*rf, CRFSet::kBandLabel)->text(),
              QStringLiteral("Frequency invalid "));

    auto ota = open<COTADlg>();
    expectUnchecked(*ota, {COTADlg::kAllowCapcodeEnableBox});
    EXPECT_TRUE(Box(*ota, COTADlg::kEnableBox)->isEnabled());
    for (int id : {COTADlg::kPasswordEdit, COTADlg::kAllowFrequencyBox, COTADlg::kAllowCapcodeBox,
                   COTADlg::kAllowBaudRateBox, COTADlg::kAllowCapcodeEnableBox}) {
        EXPECT_FALSE(Control<QWidget>(*ota, id)->isEnabled()) << id;
    }
}

// End-to-end drivers find lists and edits through the caption that names them.
TEST_F(InitialStatesTest, EveryListAndEditHasACaption) {
    for (const auto& page : openAll()) {
        const QList<QLabel*> labels = page->findChildren<QLabel*>();
        for (QWidget* control : page->findChildren<QWidget*>()) {
            if (qobject_cast<QComboBox*>(control) || qobject_cast<QLineEdit*>(control)) {
                EXPECT_TRUE(std::ranges::any_of(labels,
                                                [control](const QLabel* label) {
                                                    return label->buddy() == control &&
                                                           !label->text().isEmpty();
                                                }))
                    << page->templateId() << " control " << ControlIdOf(control);
            }
        }
    }
}

// Loading is not a user action: no change handler may store anything while a page loads.
TEST_F(InitialStatesTest, LoadingTriggersNoChangeHandler) {
    context.settings.duplicateBehaviour = 2;
    context.settings.duplicateCheckWindow = 3;
    context.settings.unreadAlert = 2;
    context.settings.outOfRangeFunction = 1;
    context.settings.otaEnable = 1;
    context.settings.menuSetTime = 1;
    const PagerSettings before = context.settings;
    for (const auto& page : openAll()) {
        page->loadFromSettings();
    }
    EXPECT_EQ(context.settings, before);
}

} // namespace
