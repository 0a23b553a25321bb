#pragma once

#include "ui/controls/DialogUnits.h"

#include <QFont>
#include <QSize>

// The settings tab control is laid out in dialog units of the main window's font, so its page
// area grows with a wider substitute for that font. A page whose content needs all the room
// measures itself the same way: this size is SettingsPage::kPageSize at the window's own
// 8-point dialog font and fits the tab control's page area at any font.
inline constexpr QSize kPageSizeInDialogUnits{333, 218};

inline QSize DialogUnitPageSize(const QFont& font) {
    return DialogSizeToPixels(kPageSizeInDialogUnits, BaseUnitsOf(font));
}
