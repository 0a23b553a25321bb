#include "ui/pages/MessageSettingsPage.h"

CSPF::CSPF(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will fill both lists for the programming mode and select the stored indices.
void CSPF::loadFromSettings() {}

// Will read the deletion and number-order lists back.
void CSPF::storeToSettings() {}
