#include "ui/pages/GeneralPage.h"

CInputCapcode::CInputCapcode(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    letEnterKeyThrough();
    loadFromSettings();
}

// Will show the eight capcode rows, the startup text and the serial number.
void CInputCapcode::loadFromSettings() {}

// Will read the eight capcode rows, the startup text, the serial number and "INC" back.
void CInputCapcode::storeToSettings() {}

// Will advance each enabled row by its step, at least to 8, through the row's change check.
void CInputCapcode::incrementCapcodes() {}

// Will show the "Private" header and its eight boxes.
void CInputCapcode::showPrivateColumn() {}
