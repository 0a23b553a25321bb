#include "ui/pages/OtaPage.h"

COTADlg::COTADlg(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    loadFromSettings();
}

// Will apply the OTA rule and set the password and the five check boxes.
void COTADlg::loadFromSettings() {}

// Will read the password and the five check boxes back.
void COTADlg::storeToSettings() {}
