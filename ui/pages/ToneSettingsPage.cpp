#include "ui/pages/ToneSettingsPage.h"

CAddressSet::CAddressSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will show or hide the urgent column for the mode and set all forty lists.
void CAddressSet::loadFromSettings() {}

// Will read all forty lists back, hidden ones included.
void CAddressSet::storeToSettings() {}
