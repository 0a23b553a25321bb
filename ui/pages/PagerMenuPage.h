#pragma once

#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

class QCheckBox;

// The " Pager Menu Options " tab: which entries the pager's own menu offers, and the zoom.
//
// V1 pagers always offer the alert menu: in V1 mode its box is hidden and checked, so a store
// sets the entry. The private-time and message-alarm entries depend on the set-time entry and
// are greyed while it is off, keeping their marks.
class CMenuSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 134;
    static constexpr int kAlertMenuBox = 1009;
    static constexpr int kNotebookBox = 1002;
    static constexpr int kLockMessageBox = 1003;
    static constexpr int kSetTimeBox = 1006;
    static constexpr int kPrivateTimeBox = 1005;
    static constexpr int kMessageAlarmBox = 1001;
    static constexpr int kTurnOffPagerBox = 1007;
    static constexpr int kVibrateModeBox = 1008;
    static constexpr int kSelectZoomBox = 1004;
    static constexpr int kZoomList = 1030;

    explicit CMenuSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void setTimeClicked();
    void applySetTimeRule();

    SettingsBinding binding_;
    QCheckBox* alertMenu_ = nullptr;
    QCheckBox* setTime_ = nullptr;
    QCheckBox* privateTime_ = nullptr;
    QCheckBox* messageAlarm_ = nullptr;
};
