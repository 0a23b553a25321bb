#pragma once

#include "image/Generation.h"
#include "image/PagerSettings.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>

// A setting edited by a drop-down list holds the zero-based index of the chosen item, or
// kNoListItem when the list had no selection. ListItems is how many items the window's list
// holds in each generation; a V2 list is never shorter than its V1 form.
inline constexpr std::uint8_t kNoListItem = 255;

struct ListItems {
    std::uint8_t v1;
    std::uint8_t v2;

    constexpr std::uint8_t in(Generation generation) const {
        return generation == Generation::V1 ? v1 : v2;
    }
    // In the generation's list, or in either list when the generation is not known.
    constexpr bool names(std::uint8_t index, std::optional<Generation> generation) const {
        return index < (generation ? in(*generation) : std::max(v1, v2));
    }
};

// A list that is the same in both generations.
constexpr ListItems Items(std::uint8_t count) {
    return {count, count};
}

// Every field of PagerSettings with its name, in declaration order, for code that handles all
// settings alike (JSON files, comparisons). List settings also pass their ListItems (for an
// array, each element's list), text fields their width in the image. Settings may be const;
// visit is called as visit(name, field), visit(name, field, items) or visit(name, text, width).
template <typename Settings, typename Visitor>
requires std::is_same_v<std::remove_const_t<Settings>, PagerSettings>
void VisitSettingFields(Settings& s, Visitor&& visit) {
    using P = PagerSettings;
    // The item counts are those of the lists on the window's pages.
    visit("messageDeletion", s.messageDeletion, ListItems{2, 3});
    visit("dateFormat", s.dateFormat, Items(2));
    visit("messageNumberOrder", s.messageNumberOrder, ListItems{2, 3});
    visit("keyTone", s.keyTone, Items(2));
    visit("otaAllowCapcodeEnable", s.otaAllowCapcodeEnable);
    visit("outOfRangeText", s.outOfRangeText, Items(2));
    visit("outOfRangeBeep", s.outOfRangeBeep, Items(2));
    visit("outOfRangeVibrate", s.outOfRangeVibrate, Items(2));
    visit("outOfRangeIconMode", s.outOfRangeIconMode, Items(2));
    visit("otaEnable", s.otaEnable);
    visit("otaAllowFrequency", s.otaAllowFrequency);
    visit("otaAllowBaudRate", s.otaAllowBaudRate);
    visit("otaAllowCapcode", s.otaAllowCapcode);
    visit("showCapcodesAtPowerOn", s.showCapcodesAtPowerOn, Items(2));
    visit("backlightOnMessage", s.backlightOnMessage, Items(2));
    visit("lowBatterySilence", s.lowBatterySilence, Items(2));
    visit("handProgramEnable", s.handProgramEnable);
    visit("menuNotebook", s.menuNotebook);
    visit("menuMessageAlarm", s.menuMessageAlarm);
    visit("menuLockMessage", s.menuLockMessage);
    visit("menuSetTime", s.menuSetTime);
    visit("menuSelectZoom", s.menuSelectZoom);
    visit("menuPrivateTime", s.menuPrivateTime);
    visit("menuAlertMenu", s.menuAlertMenu);
    visit("outOfRangeFunction", s.outOfRangeFunction, Items(2));
    visit("batteryType", s.batteryType, Items(2));
    visit("duplicateBehaviour", s.duplicateBehaviour, Items(3));
    visit("menuVibrateMode", s.menuVibrateMode);
    visit("menuTurnOffPager", s.menuTurnOffPager);
    visit("language", s.language, ListItems{4, 6});
    visit("duplicateCheckWindow", s.duplicateCheckWindow, Items(5));
    visit("lcdContrast", s.lcdContrast, Items(16));
    visit("unreadAlert", s.unreadAlert, ListItems{5, 8});
    visit("unreadAlertTimes", s.unreadAlertTimes, Items(26));
    visit("outOfRangeInterval", s.outOfRangeInterval, Items(10));
    visit("lowBatteryAlert", s.lowBatteryAlert, Items(5));
    visit("zoomLevel", s.zoomLevel, Items(3));
    visit("alertLength", s.alertLength, Items(100));
    visit("capcodePrivate", s.capcodePrivate);
    visit("vibrate", s.vibrate, Items(2));
    visit("alertStop", s.alertStop, Items(2));
    visit("toneType", s.toneType, Items(4));
    visit("alertType", s.alertType, Items(3));
    visit("alertMelody", s.alertMelody, Items(9));
    visit("capcodeEnabled", s.capcodeEnabled);
    visit("capcodes", s.capcodes);
    visit("priority", s.priority, Items(6));
    visit("urgentTone", s.urgentTone, Items(6));
    visit("autoIncrementStep", s.autoIncrementStep, Items(5));
    visit("startupText", s.startupText, P::kStartupTextWidth);
    visit("otaPassword", s.otaPassword, P::kOtaPasswordWidth);
    visit("handProgramPassword", s.handProgramPassword, P::kHandProgramPasswordWidth);
    visit("storedMessages", s.storedMessages, Items(3));
    visit("silenceOnHour", s.silenceOnHour);
    visit("silenceOnMinute", s.silenceOnMinute);
    visit("silenceOffHour", s.silenceOffHour);
    visit("silenceOffMinute", s.silenceOffMinute);
    visit("frequencyText", s.frequencyText, P::kFrequencyTextWidth);
    visit("cannedEnabled", s.cannedEnabled);
    visit("cannedAppend", s.cannedAppend);
    visit("cannedTone", s.cannedTone, Items(9));
    visit("cannedMessages", s.cannedMessages);
    visit("polarity", s.polarity, Items(2));
    visit("baudRate", s.baudRate, Items(3));
    visit("serialNumber", s.serialNumber, P::kSerialNumberWidth);
}

namespace settings_fields_detail {

inline void ClearUnlisted(std::uint8_t& index, ListItems items, Generation generation) {
    if (!items.names(index, generation)) {
        index = kNoListItem;
    }
}
template <typename T, std::size_t N>
void ClearUnlisted(std::array<T, N>& indexes, ListItems items, Generation generation) {
    for (T& index : indexes) {
        ClearUnlisted(index, items, generation);
    }
}

struct UnlistedClearer {
    Generation generation;

    template <typename Field> void operator()(const char*, Field&) const {}
    void operator()(const char*, std::string&, std::size_t) const {}
    template <typename Field> void operator()(const char*, Field& field, ListItems items) const {
        ClearUnlisted(field, items, generation);
    }
};

} // namespace settings_fields_detail

// Every list setting as the generation's list shows it: an index beyond its list becomes
// kNoListItem, as the window stores a list that shows no selection.
inline void ClearUnlistedIndexes(PagerSettings& settings, Generation generation) {
    VisitSettingFields(settings, settings_fields_detail::UnlistedClearer{generation});
}
