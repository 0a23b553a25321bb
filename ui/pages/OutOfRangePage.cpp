#include "ui/pages/OutOfRangePage.h"

COORSet::COORSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will apply the function rule, set the six lists and hide five of them in V1 mode.
void COORSet::loadFromSettings() {}

// Will read all six lists back, hidden ones included.
void COORSet::storeToSettings() {}
