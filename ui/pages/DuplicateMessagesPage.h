#pragma once

#include "ui/pages/SettingsPage.h"

// The " Duplicate Messages " tab: what the pager does with a message it already has, and the
// window in which it checks. Enter keeps its usual meaning on this page.
class CRepeatSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 146;
    explicit CRepeatSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
