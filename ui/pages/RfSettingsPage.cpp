#include "ui/pages/RfSettingsPage.h"

CRFSet::CRFSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will set the polarity and baud-rate lists and the frequency text.
void CRFSet::loadFromSettings() {}

// Will read both lists and the frequency text back.
void CRFSet::storeToSettings() {}
