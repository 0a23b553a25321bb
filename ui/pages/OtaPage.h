#pragma once

#include "ui/pages/SettingsPage.h"

// The " OTA " tab: whether the pager accepts changes over the air, its OTA password and which
// changes it accepts. The page exists and is loaded and stored in both modes; only its tab is
// V2-only.
class COTADlg : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 158;
    explicit COTADlg(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
