#pragma once

#include "image/PagerSettings.h"

#include <type_traits>

// Every field of PagerSettings with its name, in declaration order, for code that handles all
// settings alike (JSON files, comparisons). Text fields also pass their width in the image.
// Settings may be const; visit is called as visit(name, field) or visit(name, text, width).
template <typename Settings, typename Visitor>
requires std::is_same_v<std::remove_const_t<Settings>, PagerSettings>
void VisitSettingFields(Settings& s, Visitor&& visit) {
    using P = PagerSettings;
    visit("messageDeletion", s.messageDeletion);
    visit("dateFormat", s.dateFormat);
    visit("messageNumberOrder", s.messageNumberOrder);
    visit("keyTone", s.keyTone);
    visit("otaAllowCapcodeEnable", s.otaAllowCapcodeEnable);
    visit("outOfRangeText", s.outOfRangeText);
    visit("outOfRangeBeep", s.outOfRangeBeep);
    visit("outOfRangeVibrate", s.outOfRangeVibrate);
    visit("outOfRangeIconMode", s.outOfRangeIconMode);
    visit("otaEnable", s.otaEnable);
    visit("otaAllowFrequency", s.otaAllowFrequency);
    visit("otaAllowBaudRate", s.otaAllowBaudRate);
    visit("otaAllowCapcode", s.otaAllowCapcode);
    visit("showCapcodesAtPowerOn", s.showCapcodesAtPowerOn);
    visit("backlightOnMessage", s.backlightOnMessage);
    visit("lowBatterySilence", s.lowBatterySilence);
    visit("handProgramEnable", s.handProgramEnable);
    visit("menuNotebook", s.menuNotebook);
    visit("menuMessageAlarm", s.menuMessageAlarm);
    visit("menuLockMessage", s.menuLockMessage);
    visit("menuSetTime", s.menuSetTime);
    visit("menuSelectZoom", s.menuSelectZoom);
    visit("menuPrivateTime", s.menuPrivateTime);
    visit("menuAlertMenu", s.menuAlertMenu);
    visit("outOfRangeFunction", s.outOfRangeFunction);
    visit("batteryType", s.batteryType);
    visit("duplicateBehaviour", s.duplicateBehaviour);
    visit("menuVibrateMode", s.menuVibrateMode);
    visit("menuTurnOffPager", s.menuTurnOffPager);
    visit("language", s.language);
    visit("duplicateCheckWindow", s.duplicateCheckWindow);
    visit("lcdContrast", s.lcdContrast);
    visit("unreadAlert", s.unreadAlert);
    visit("unreadAlertTimes", s.unreadAlertTimes);
    visit("outOfRangeInterval", s.outOfRangeInterval);
    visit("lowBatteryAlert", s.lowBatteryAlert);
    visit("zoomLevel", s.zoomLevel);
    visit("alertLength", s.alertLength);
    visit("capcodePrivate", s.capcodePrivate);
    visit("vibrate", s.vibrate);
    visit("alertStop", s.alertStop);
    visit("toneType", s.toneType);
    visit("alertType", s.alertType);
    visit("alertMelody", s.alertMelody);
    visit("capcodeEnabled", s.capcodeEnabled);
    visit("capcodes", s.capcodes);
    visit("priority", s.priority);
    visit("urgentTone", s.urgentTone);
    visit("autoIncrementStep", s.autoIncrementStep);
    visit("startupText", s.startupText, P::kStartupTextWidth);
    visit("otaPassword", s.otaPassword, P::kOtaPasswordWidth);
    visit("handProgramPassword", s.handProgramPassword, P::kHandProgramPasswordWidth);
    visit("storedMessages", s.storedMessages);
    visit("silenceOnHour", s.silenceOnHour);
    visit("silenceOnMinute", s.silenceOnMinute);
    visit("silenceOffHour", s.silenceOffHour);
    visit("silenceOffMinute", s.silenceOffMinute);
    visit("frequencyText", s.frequencyText, P::kFrequencyTextWidth);
    visit("cannedEnabled", s.cannedEnabled);
    visit("cannedAppend", s.cannedAppend);
    visit("cannedTone", s.cannedTone);
    visit("cannedMessages", s.cannedMessages);
    visit("polarity", s.polarity);
    visit("baudRate", s.baudRate);
    visit("serialNumber", s.serialNumber, P::kSerialNumberWidth);
}
