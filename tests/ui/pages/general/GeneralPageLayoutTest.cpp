#include "GeneralPageTestSupport.h"

#include <QGroupBox>

namespace {

// Every fixed control: id, text and whether it is enabled and shown at start.
struct FixedControl {
    int id;
    const char* text;
    bool enabled;
    bool shown;
};

const FixedControl kFixedControls[] = {
    {CInputCapcode::kNumberHeader, "Number", true, true},
    {CInputCapcode::kPrivateHeader, "Private", true, false},
    {CInputCapcode::kEnableHeader, "Enable", true, true},
    {CInputCapcode::kCapcodeHeader, "Capcode", true, true},
    {CInputCapcode::kStepHeader, "Auto Increment", true, true},
    {CInputCapcode::kFrameHeader, "Frame", true, true},
    {CInputCapcode::kIncrementButton, "Manually increment", true, true},
    {CInputCapcode::kOkButton, "OK", true, true},
    {CInputCapcode::kRepairButton, "Repair Pager", true, true},
    {CInputCapcode::kSerialLabel, "S/N", false, true},
    {CInputCapcode::kSerialIncrementBox, "INC", false, true},
    {CInputCapcode::kChangeSerialButton, "Change S/N", true, true},
    {CInputCapcode::kStartupTextEdit, "", true, true},
    {CInputCapcode::kPasswordEdit, "", true, true},
    {CInputCapcode::kSerialEdit, "", false, true},
};

TEST_F(GeneralPageTest, FixedControlsCarryTheirIdsTextsAndStartStates) {
    for (const FixedControl& fixed : kFixedControls) {
        SCOPED_TRACE(fixed.id);
        QWidget* control = FindControlWidget(page.get(), fixed.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->property("text").toString(), QLatin1String(fixed.text));
        EXPECT_EQ(control->isEnabled(), fixed.enabled);
        EXPECT_EQ(control->isVisible(), fixed.shown);
    }
    EXPECT_EQ(Control<QLineEdit>(CInputCapcode::kPasswordEdit)->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Control<QLineEdit>(CInputCapcode::kStartupTextEdit)->maxLength(), 20);
    EXPECT_EQ(Control<QLineEdit>(CInputCapcode::kSerialEdit)->maxLength(), 16);
    EXPECT_TRUE(Button(CInputCapcode::kOkButton)->isDefault());
    EXPECT_FALSE(Control<QCheckBox>(CInputCapcode::kSerialIncrementBox)->isChecked());
    EXPECT_FALSE(page->consumesEnterKey()) << "Enter reaches the default button";
    auto* group = page->findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QStringLiteral("Capcode management"));
}

TEST_F(GeneralPageTest, CapcodeRowsStartAsTheirColumnsSay) {
    const QStringList steps{"0", "+8", "-8", "+1", "-1"};
    for (std::size_t row = 0; row < PagerSettings::kCapcodes; ++row) {
        SCOPED_TRACE(row + 1);
        EXPECT_FALSE(PrivateBox(row)->isVisible()) << "hidden until unlocked";
        EXPECT_EQ(PrivateBox(row)->isEnabled(), row >= 4) << "rows 1-4 are private for good";
        EXPECT_EQ(PrivateBox(row)->isChecked(), row < 4);
        EXPECT_FALSE(EnableBox(row)->isChecked());
        EXPECT_EQ(CapcodeEdit(row)->text(), QStringLiteral("0"));
        EXPECT_EQ(Frame(row)->text(), QStringLiteral("0")) << "the load refreshed the frame";
        QStringList items;
        for (int item = 0; item < StepList(row)->count(); ++item) {
            items << StepList(row)->itemText(item);
        }
        EXPECT_EQ(items, steps);
        EXPECT_FALSE(StepList(row)->isEditable());
        EXPECT_EQ(CapcodeEdit(row)->accessibleName(), QStringLiteral("Capcode %1").arg(row + 1));
        EXPECT_FALSE(StepList(row)->accessibleDescription().isEmpty());
    }
}

TEST_F(GeneralPageTest, PrivateColumnShowsWithoutMovingTheOthersOrEnablingRowsOneToFour) {
    const QRect capcodeBefore = CapcodeEdit(0)->geometry();
    page->showPrivateColumn();
    EXPECT_TRUE(Control<QLabel>(CInputCapcode::kPrivateHeader)->isVisible());
    for (std::size_t row = 0; row < PagerSettings::kCapcodes; ++row) {
        EXPECT_TRUE(PrivateBox(row)->isVisible());
        EXPECT_EQ(PrivateBox(row)->isEnabled(), row >= 4);
    }
    EXPECT_EQ(CapcodeEdit(0)->geometry(), capcodeBefore);
}

TEST_F(GeneralPageTest, ControlsFitThePageWithoutOverlapping) {
    page->showPrivateColumn();
    std::vector<QWidget*> controls;
    for (QWidget* widget : page->findChildren<QWidget*>()) {
        if (ControlIdOf(widget) != kNoControlId && widget->isVisible()) {
            controls.push_back(widget);
        }
    }
    ASSERT_GT(controls.size(), 50u);
    const QRect pageArea(QPoint(0, 0), SettingsPage::kPageSize);
    for (QWidget* control : controls) {
        const QRect area(control->mapTo(page.get(), QPoint(0, 0)), control->size());
        EXPECT_TRUE(pageArea.contains(area)) << ControlIdOf(control);
        EXPECT_GE(control->width(), control->minimumSizeHint().width()) << ControlIdOf(control);
        for (QWidget* other : controls) {
            const QRect otherArea(other->mapTo(page.get(), QPoint(0, 0)), other->size());
            if (other != control) {
                EXPECT_FALSE(area.intersects(otherArea))
                    << ControlIdOf(control) << " overlaps " << ControlIdOf(other);
            }
        }
    }
}

} // namespace
