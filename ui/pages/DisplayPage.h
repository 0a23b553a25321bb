#pragma once

#include "ui/pages/SettingsPage.h"

// The " Display " tab: menu language, date format, LCD contrast, capcodes at power-on and
// the number of stored messages.
class CDisplaySet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 152;
    explicit CDisplaySet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
