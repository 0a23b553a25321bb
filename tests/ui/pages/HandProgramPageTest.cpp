#include "ui/pages/HandProgramPage.h"

#include "programming/ProgrammerContext.h"
#include "ui/controls/ControlId.h"
#include "ui/controls/testing/RecordingMessageBoxService.h"

#include <QAccessible>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class HandProgramPageTest : public ::testing::Test {
protected:
    QLineEdit* password(CHandWrite& page) {
        return FindControl<QLineEdit>(&page, CHandWrite::kPasswordEdit);
    }
    QCheckBox* enable(CHandWrite& page) {
        return FindControl<QCheckBox>(&page, CHandWrite::kEnableBox);
    }

    ProgrammerContext context;
    RecordingMessageBoxService messages;
    PageEnvironment environment{context, messages};
};

TEST_F(HandProgramPageTest, SettingsToPageToSettings) {
    CHandWrite page(environment);
    ASSERT_NE(password(page), nullptr);
    ASSERT_NE(enable(page), nullptr);
    EXPECT_EQ(password(page)->text(), QStringLiteral("3916")) << "loaded at creation";
    context.settings.handProgramPassword = "12";
    context.settings.handProgramEnable = 1;
    page.loadFromSettings();
    EXPECT_EQ(password(page)->text(), QStringLiteral("12"));
    EXPECT_TRUE(enable(page)->isChecked());

    password(page)->clear();
    QTest::keyClicks(password(page), QStringLiteral("7a8b"));
    const PagerSettings before = context.settings;
    page.storeToSettings();
    PagerSettings expected = before;
    expected.handProgramPassword = "78";
    EXPECT_EQ(context.settings, expected) << "only the password changed; Enable kept 1";
}

TEST_F(HandProgramPageTest, PasswordFromAnImageSurvivesAndTypingIsLimited) {
    context.settings.handProgramPassword = "A\xE9\x01";
    CHandWrite page(environment);
    page.storeToSettings();
    EXPECT_EQ(context.settings.handProgramPassword, "A\xE9\x01");

    password(page)->clear();
    QTest::keyClicks(password(page), QStringLiteral("123456"));
    page.storeToSettings();
    EXPECT_EQ(context.settings.handProgramPassword, "1234") << "at most four digits";
}

TEST_F(HandProgramPageTest, EnableIsNeverVisibleAndThePasswordIsNamed) {
    CHandWrite page(environment);
    page.show();
    EXPECT_TRUE(password(page)->isVisible());
    EXPECT_FALSE(enable(page)->isVisible());
    EXPECT_TRUE(page.consumesEnterKey());
    QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(password(page));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->text(QAccessible::Name), QStringLiteral("Password"));
}

} // namespace
