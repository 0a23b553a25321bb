#pragma once

#include "ui/pages/SettingsPage.h"

// The " Unread Messages " tab: the reminder alert for unread messages and how often it
// repeats.
class CUnreadSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 150;
    explicit CUnreadSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
