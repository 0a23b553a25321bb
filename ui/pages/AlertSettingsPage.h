#pragma once

#include "ui/pages/CapcodeListGrid.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <memory>

// The " Alert Settings " tab: per capcode, alert type, melody, vibration, alert stop and
// priority tone. A capcode's melody list is enabled only while its alert type in the settings
// is "Fix"; choosing an alert type stores the whole page at once so that the rule can follow.
class CAddressAlert : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 144;
    // Lists of row 1; rows 2..8 follow on.
    static constexpr int kFirstAlertTypeList = 1040;
    static constexpr int kFirstMelodyList = 1048;
    static constexpr int kFirstVibrateList = 1056;
    static constexpr int kFirstAlertStopList = 1064;
    static constexpr int kFirstPriorityList = 1072;
    // The alert type whose melody the user chooses.
    static constexpr std::uint8_t kAlertTypeFix = 2;

    explicit CAddressAlert(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void applyMelodyRule();

    SettingsBinding binding_;
    std::unique_ptr<CapcodeListGrid> grid_;
};
