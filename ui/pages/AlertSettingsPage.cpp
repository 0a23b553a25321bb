#include "ui/pages/AlertSettingsPage.h"

CAddressAlert::CAddressAlert(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will set all forty lists, then enable each melody list whose alert type is "Fix".
void CAddressAlert::loadFromSettings() {}

// Will read all forty lists back.
void CAddressAlert::storeToSettings() {}
