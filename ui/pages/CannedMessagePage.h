#pragma once

#include "ui/pages/SettingsPage.h"

#include <array>
#include <cstdint>

class CannedTextEdit;
class QCheckBox;
class QComboBox;
class QEvent;
class QKeyEvent;
class QLabel;

// The " Can Message 1 " and " Can Message 2 " tabs: sixteen canned-message slots each, four
// columns (capcodes) of four group boxes (tones A-D). Instance 0 edits capcodes 1-4 (settings
// slots 0-15), instance 1 capcodes 5-8 (slots 16-31).
//
// The page holds its sixteen slots between a load and the next store: a load copies them from
// the settings and shows them, a store reads the controls into them and copies them back. A
// slot's text, list and "Append Message" box are enabled only while its "Enable" box is ticked;
// disabled, they keep their values. Enter starts a new line in a message and does nothing
// elsewhere on the page.
class CCanMessage : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 160;
    static constexpr int kSlotsPerPage = 16;
    static constexpr int kColumns = 4;
    static constexpr int kTones = 4;
    // Column headings, "Capcode 1".."Capcode 4" (instance 1: 5..8).
    static constexpr int kFirstHeading = 1088;

    // Controls of slot s = 4 * column + tone.
    struct SlotIds {
        int enable;
        int append;
        int list;
        int text;
    };
    static constexpr std::array<SlotIds, kSlotsPerPage> kSlotIds{{
        {1076, 1081, 1086, 1087},
        {1077, 1082, 1031, 1032},
        {1078, 1083, 1033, 1034},
        {1079, 1084, 1035, 1036},
        {1080, 1085, 1037, 1038},
        {1011, 1012, 1039, 1040},
        {1013, 1014, 1041, 1042},
        {1015, 1016, 1043, 1044},
        {1017, 1018, 1045, 1046},
        {1019, 1020, 1047, 1048},
        {1021, 1022, 1049, 1050},
        {1023, 1024, 1051, 1052},
        {1025, 1026, 1053, 1054},
        {1027, 1028, 1055, 1056},
        {1057, 1058, 1059, 1060},
        {1061, 1062, 1063, 1064},
    }};

    // instance 0 edits capcodes 1-4 (slots 0-15), instance 1 capcodes 5-8 (slots 16-31).
    CCanMessage(const PageEnvironment& environment, int instance, QWidget* parent = nullptr);

    int instance() const { return instance_; }

    void loadFromSettings() override;
    void storeToSettings() override;

protected:
    // The page is measured in dialog units of its font, like the tab control it sits on.
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // One canned message as the page holds it.
    struct Slot {
        std::uint8_t enabled = 0;
        std::uint8_t append = 0;
        std::uint8_t tone = 0;
        PagerSettings::CannedText text{};
    };
    struct SlotControls {
        QCheckBox* enable = nullptr;
        QCheckBox* append = nullptr;
        QComboBox* list = nullptr;
        CannedTextEdit* text = nullptr;
    };

    static void EnableSlot(const SlotControls& controls, bool enabled);
    void buildSlots();
    void showSlots();
    void readSlots();
    std::size_t firstSettingsSlot() const;

    int instance_;
    std::array<Slot, kSlotsPerPage> slots_{};
    std::array<SlotControls, kSlotsPerPage> controls_{};
    std::array<QLabel*, kColumns> headings_{};
};
