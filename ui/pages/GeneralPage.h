#pragma once

#include "ui/pages/SettingsPage.h"

// The " General " tab: the eight capcodes with their enable, private and auto-increment
// settings, the startup text and the serial number, and the access-code gate, serial-number
// unlock and repair functions. Enter keeps its usual meaning here ("OK" takes it).
class CInputCapcode : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 130;
    explicit CInputCapcode(const PageEnvironment& environment, QWidget* parent = nullptr);

    // Advances each enabled row's capcode by its auto-increment step.
    void incrementCapcodes();
    // Shows the "Private" column once the tabs are unlocked.
    void showPrivateColumn();

    void loadFromSettings() override;
    void storeToSettings() override;
};
