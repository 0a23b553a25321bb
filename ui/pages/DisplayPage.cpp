#include "ui/pages/DisplayPage.h"

CDisplaySet::CDisplaySet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will fill the language list for the mode and set the five lists.
void CDisplaySet::loadFromSettings() {}

// Will read the five lists back, the hidden stored-messages list included.
void CDisplaySet::storeToSettings() {}
