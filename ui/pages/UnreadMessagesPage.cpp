#include "ui/pages/UnreadMessagesPage.h"

CUnreadSet::CUnreadSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will fill the alert list for the mode and set both lists.
void CUnreadSet::loadFromSettings() {}

// Will read both lists back.
void CUnreadSet::storeToSettings() {}
