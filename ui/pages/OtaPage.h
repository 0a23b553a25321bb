#pragma once

#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <vector>

class QCheckBox;

// The " OTA " tab: whether the pager accepts changes over the air, its OTA password and which
// changes it accepts. The password and the permissions are greyed while OTA is off; they keep
// their values, which are still stored. The page exists and is loaded and stored in both
// modes; only its tab is V2-only.
class COTADlg : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 158;
    static constexpr int kEnableBox = 1001;
    static constexpr int kPasswordCaption = 1053;
    static constexpr int kPasswordEdit = 1029;
    static constexpr int kAllowFrequencyBox = 1003;
    static constexpr int kAllowCapcodeBox = 1004;
    static constexpr int kAllowBaudRateBox = 1005;
    static constexpr int kAllowCapcodeEnableBox = 1006;

    explicit COTADlg(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void enableClicked();
    void applyOtaRule();

    SettingsBinding binding_;
    QCheckBox* enable_ = nullptr;
    // The password caption and edit and the four permission boxes.
    std::vector<QWidget*> dependents_;
};
