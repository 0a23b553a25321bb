#include "ui/pages/OutOfRangePage.h"

#include <QComboBox>
#include <QVBoxLayout>

#include <span>

namespace {

QStringList IntervalItems() {
    QStringList items{QStringLiteral("1 Minute")};
    for (int minutes = 2; minutes <= 10; ++minutes) {
        items << QStringLiteral("%1 Minutes").arg(minutes);
    }
    return items;
}

const QStringList kOffOn = {QStringLiteral("Disable"), QStringLiteral("Enable")};

// Top to bottom; the function comes first and the details follow it.
const CaptionedListRow kRows[] = {
    {COORSet::kFunctionCaption,
     QStringLiteral("Out of range function"),
     COORSet::kFunctionList,
     {QStringLiteral("Enable"), QStringLiteral("Disable")},
     &PagerSettings::outOfRangeFunction},
    {COORSet::kBeepCaption, QStringLiteral("Out of range beep alert"), COORSet::kBeepList, kOffOn,
     &PagerSettings::outOfRangeBeep},
    {COORSet::kVibrateCaption, QStringLiteral("Out of range vibrate alert"), COORSet::kVibrateList,
     kOffOn, &PagerSettings::outOfRangeVibrate},
    {COORSet::kIntervalCaption, QStringLiteral("Out of range alert interval"),
     COORSet::kIntervalList, IntervalItems(), &PagerSettings::outOfRangeInterval},
    {COORSet::kIconModeCaption,
     QStringLiteral("Out of range display ICON  mode"),
     COORSet::kIconModeList,
     {QStringLiteral("Show icon when out of range"), QStringLiteral("Show icon when in range")},
     &PagerSettings::outOfRangeIconMode},
    {COORSet::kTextCaption, QStringLiteral("Out of range display text on lcd"), COORSet::kTextList,
     kOffOn, &PagerSettings::outOfRangeText},
};

constexpr std::uint8_t kFunctionEnabled = 0;

} // namespace

COORSet::COORSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 12, 20, 12);
    column->setSpacing(2);
    lists_ = AddCaptionedLists(this, column, kRows, binding_);
    column->addStretch(1);
    connect(lists_.front().list, &QComboBox::activated, this, &COORSet::functionChosen);
    COORSet::loadFromSettings(); // during construction only this class's own version can run
}

void COORSet::loadFromSettings() {
    applyFunctionRule();
    binding_.load(settings());
    for (const CaptionedList& detail : std::span(lists_).subspan(1)) {
        detail.setVisible(!isV1Mode());
    }
}

void COORSet::storeToSettings() {
    binding_.store(settings());
}

void COORSet::functionChosen(int) {
    settings().outOfRangeFunction = ListIndexOf(lists_.front().list);
    applyFunctionRule();
}

void COORSet::applyFunctionRule() {
    const bool functionOn = settings().outOfRangeFunction == kFunctionEnabled;
    for (const CaptionedList& detail : std::span(lists_).subspan(1)) {
        detail.setEnabled(functionOn);
    }
}
