#pragma once

#include "ui/pages/SettingsPage.h"

// The " RF Settings " tab: receive frequency with its band label, baud rate and polarity.
class CRFSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 154;
    explicit CRFSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
