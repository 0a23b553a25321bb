#pragma once

#include "ui/pages/SettingsPage.h"

// The " Tone Settings " tab: per capcode, the message type of tones A to D and the urgent
// tone (the urgent column in V2 mode only).
class CAddressSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 140;
    explicit CAddressSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
