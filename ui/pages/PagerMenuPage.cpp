#include "ui/pages/PagerMenuPage.h"

CMenuSet::CMenuSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will set the nine menu check boxes and the zoom list, then apply the set-time rule.
void CMenuSet::loadFromSettings() {}

// Will read the nine menu check boxes and the zoom list back.
void CMenuSet::storeToSettings() {}
