#pragma once

#include "ui/pages/SettingsPage.h"

// The " Alert Settings " tab: per capcode, alert type, melody, vibration, alert stop and
// priority tone.
class CAddressAlert : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 144;
    explicit CAddressAlert(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
