#pragma once

#include "ui/pages/CaptionedLists.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <vector>

// The " Out of Range " tab: the out-of-range warning (beep, vibration, interval, icon, text).
// The five details are greyed while the function is "Disable", and V1 pagers have only the
// function itself, so V1 mode hides them. Greyed or hidden, their values are still stored.
class COORSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 148;
    static constexpr int kFunctionCaption = 1092;
    static constexpr int kFunctionList = 1045;
    static constexpr int kBeepCaption = 1070;
    static constexpr int kBeepList = 1046;
    static constexpr int kVibrateCaption = 1071;
    static constexpr int kVibrateList = 1047;
    static constexpr int kIntervalCaption = 1072;
    static constexpr int kIntervalList = 1049;
    static constexpr int kIconModeCaption = 1073;
    static constexpr int kIconModeList = 1050;
    static constexpr int kTextCaption = 1074;
    static constexpr int kTextList = 1048;

    explicit COORSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void functionChosen(int index);
    void applyFunctionRule();

    SettingsBinding binding_;
    std::vector<CaptionedList> lists_;
};
