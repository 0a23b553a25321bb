#pragma once

#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

class QCheckBox;
class QLineEdit;

// The " Hand Program " tab: the password of the pager's hand-programming function. The
// "Enable" box is part of the page but never shown; it carries its setting through a load and
// a store unchanged.
class CHandWrite : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 133;
    static constexpr int kPasswordEdit = 1029;
    static constexpr int kEnableBox = 1001;

    explicit CHandWrite(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    SettingsBinding binding_;
};
