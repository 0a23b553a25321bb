#pragma once

#include "ui/pages/SettingsPage.h"

// The " Pager Menu Options " tab: which entries the pager's own menu offers, and the zoom.
class CMenuSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 134;
    explicit CMenuSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
