#pragma once

#include "ui/pages/SettingsPage.h"

// The " Alerting " tab: alert length, key tone, battery type and low-battery warning,
// backlight on message, and the daily low-battery silence window.
class CMsgAlert : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 156;
    explicit CMsgAlert(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
