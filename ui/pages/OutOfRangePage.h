#pragma once

#include "ui/pages/SettingsPage.h"

// The " Out of Range " tab: the out-of-range warning (beep, vibration, interval, icon, text).
class COORSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 148;
    explicit COORSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
