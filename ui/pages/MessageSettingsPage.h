#pragma once

#include "ui/pages/SettingsPage.h"

// The " Message Settings " tab: whether the user may delete messages and the numbering
// order of stored messages, with lists that depend on the programming mode.
class CSPF : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 136;
    explicit CSPF(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;
};
