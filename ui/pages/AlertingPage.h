#pragma once

#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <QStringList>

#include <array>

class QComboBox;
class TimeOfDayPicker;

// The " Alerting " tab: alert length, key tone, battery type and low-battery warning,
// backlight on message, and the daily window in which low-battery alerts are silenced. The
// window's two time pickers are enabled only while the silence list is not "Disable"; a
// stored time that is not a time of day shows as no time and is stored back as 255.
class CMsgAlert : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 156;
    static constexpr int kAlertLengthList = 1038;
    static constexpr int kKeyToneList = 1032;
    static constexpr int kBatteryTypeList = 1040;
    static constexpr int kBacklightList = 1045;
    static constexpr int kLowBatteryAlertList = 1044;
    static constexpr int kLowBatterySilenceList = 1046;
    static constexpr int kSilenceOnPicker = 1075;
    static constexpr int kSilenceOffPicker = 1076;
    // The hour and minute stored for a picker without a time.
    static constexpr std::uint8_t kNoTime = 255;

    explicit CMsgAlert(const PageEnvironment& environment, QWidget* parent = nullptr);

    // "Continue", then "N s" for N = 1..99 seconds (the list index is the number of seconds).
    static QStringList AlertLengthItems();

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void enableSilenceWindow(bool enabled);

    SettingsBinding binding_;
    QComboBox* silenceList_ = nullptr;
    std::array<TimeOfDayPicker*, 2> pickers_{};
};
