#include "ui/pages/DisplayPage.h"

#include <QComboBox>

namespace {

enum Row { kLanguage, kDateFormat, kContrast, kPowerOnCapcodes, kStoredMessages };

QStringList ContrastItems() {
    QStringList items;
    for (int level = 1; level <= 16; ++level) {
        items << QString::number(level);
    }
    return items;
}

const QStringList kV1Languages = {
    QStringLiteral("ENGLISH"),
    QStringLiteral("FRENCH"),
    QStringLiteral("SPANISH"),
    QStringLiteral("GERMAN"),
};
const QStringList kV2Languages = kV1Languages + QStringList{
                                                    QStringLiteral("CZECH"),
                                                    QStringLiteral("SWEDISH"),
                                                };

// In Row order.
const CaptionedListRow kRows[] = {
    {kNoControlId,
     QStringLiteral("Language"),
     CDisplaySet::kLanguageList,
     {},
     &PagerSettings::language},
    {kNoControlId,
     QStringLiteral("Date format"),
     CDisplaySet::kDateFormatList,
     {QStringLiteral("DD/MM"), QStringLiteral("MM/DD")},
     &PagerSettings::dateFormat},
    {kNoControlId, QStringLiteral("LCD contrast"), CDisplaySet::kContrastList, ContrastItems(),
     &PagerSettings::lcdContrast},
    {kNoControlId,
     QStringLiteral("Display first two capcodes when turned on"),
     CDisplaySet::kPowerOnCapcodesList,
     {QStringLiteral("Enable"), QStringLiteral("Disable")},
     &PagerSettings::showCapcodesAtPowerOn},
    {CDisplaySet::kStoredMessagesCaption,
     QStringLiteral("Stored messages"),
     CDisplaySet::kStoredMessagesList,
     {QStringLiteral("1"), QStringLiteral("10"), QStringLiteral("50")},
     &PagerSettings::storedMessages},
};

} // namespace

CDisplaySet::CDisplaySet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    lists_ = BuildListColumn(this, kRows, binding_);
    CDisplaySet::loadFromSettings(); // during construction only this class's own version can run
}

void CDisplaySet::loadFromSettings() {
    SetComboItems(lists_[kLanguage].list, isV1Mode() ? kV1Languages : kV2Languages);
    lists_[kStoredMessages].setVisible(!isV1Mode());
    binding_.load(settings());
}

void CDisplaySet::storeToSettings() {
    binding_.store(settings());
}
