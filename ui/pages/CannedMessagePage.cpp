#include "ui/pages/CannedMessagePage.h"

CCanMessage::CCanMessage(const PageEnvironment& environment, int instance, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent), instance_(instance) {
    letEnterKeyThrough();
    loadFromSettings();
}

// Will copy this instance's sixteen slots from the settings and show them.
void CCanMessage::loadFromSettings() {}

// Will read the sixteen slots and copy them into the settings.
void CCanMessage::storeToSettings() {}
