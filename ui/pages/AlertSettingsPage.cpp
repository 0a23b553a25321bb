#include "ui/pages/AlertSettingsPage.h"

#include <QComboBox>

namespace {

const QStringList kOffOn{QStringLiteral("Disable"), QStringLiteral("Enable")};

template <PagerSettings::CapcodeBytes PagerSettings::*Array>
ByteField CapcodeField(std::size_t capcode) {
    return ByteField(Array, capcode);
}

enum Column : std::size_t { kAlertTypeColumn, kMelodyColumn };

const CapcodeListColumn kColumns[] = {
    {"Alert Type", kNoControlId, CAddressAlert::kFirstAlertTypeList,
     QStringList{QStringLiteral("Silent"), QStringLiteral("System"), QStringLiteral("Fix")},
     CapcodeField<&PagerSettings::alertType>},
    {"Alert", kNoControlId, CAddressAlert::kFirstMelodyList,
     QStringList{QStringLiteral("Silent"), QStringLiteral("1 (Standard)"), QStringLiteral("2"),
                 QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                 QStringLiteral("7"), QStringLiteral("8")},
     CapcodeField<&PagerSettings::alertMelody>},
    {"Vibrate", kNoControlId, CAddressAlert::kFirstVibrateList, kOffOn,
     CapcodeField<&PagerSettings::vibrate>},
    {"Alert Stop", kNoControlId, CAddressAlert::kFirstAlertStopList,
     QStringList{QStringLiteral("Normal"), QStringLiteral("Continue")},
     CapcodeField<&PagerSettings::alertStop>},
    {"Priority", kNoControlId, CAddressAlert::kFirstPriorityList,
     QStringList{QStringLiteral("Disable"), QStringLiteral("A"), QStringLiteral("B"),
                 QStringLiteral("C"), QStringLiteral("D"), QStringLiteral("ALL")},
     CapcodeField<&PagerSettings::priority>},
};

} // namespace

CAddressAlert::CAddressAlert(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent),
      grid_(std::make_unique<CapcodeListGrid>(this, kColumns, binding_)) {
    for (QComboBox* alertType : grid_->lists(kAlertTypeColumn)) {
        connect(alertType, &QComboBox::activated, this, [this] {
            storeToSettings();
            applyMelodyRule();
        });
    }
    CAddressAlert::loadFromSettings(); // during construction only this class's own version can run
}

void CAddressAlert::loadFromSettings() {
    binding_.load(settings());
    applyMelodyRule();
}

void CAddressAlert::storeToSettings() {
    binding_.store(settings());
}

// Follows the settings, not the lists, so a list without a selection counts as not "Fix".
void CAddressAlert::applyMelodyRule() {
    const CapcodeListGrid::Column& melodies = grid_->lists(kMelodyColumn);
    for (std::size_t n = 0; n < melodies.size(); ++n) {
        melodies[n]->setEnabled(settings().alertType[n] == kAlertTypeFix);
    }
}
