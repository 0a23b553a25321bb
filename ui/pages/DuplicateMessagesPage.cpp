#include "ui/pages/DuplicateMessagesPage.h"

CRepeatSet::CRepeatSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    letEnterKeyThrough();
    loadFromSettings();
}

// Will apply the checking rule and set both lists.
void CRepeatSet::loadFromSettings() {}

// Will read both lists back and reset the checking list when duplicates are not checked.
void CRepeatSet::storeToSettings() {}
