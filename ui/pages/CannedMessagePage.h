#pragma once

#include "ui/pages/SettingsPage.h"

// The " Can Message 1 " and " Can Message 2 " tabs: sixteen canned-message slots each
// (capcodes 1-4 on instance 0, 5-8 on instance 1). Enter starts a new line in the message
// edits, so it is not swallowed here.
class CCanMessage : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 160;
    static constexpr int kSlotsPerPage = 16;

    // instance 0 edits capcodes 1-4 (slots 0-15), instance 1 capcodes 5-8 (slots 16-31).
    CCanMessage(const PageEnvironment& environment, int instance, QWidget* parent = nullptr);

    int instance() const { return instance_; }

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    int instance_;
};
