#include "ui/pages/AlertingPage.h"

CMsgAlert::CMsgAlert(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will set the six lists and the two silence-window times.
void CMsgAlert::loadFromSettings() {}

// Will read the six lists and the two times back.
void CMsgAlert::storeToSettings() {}
