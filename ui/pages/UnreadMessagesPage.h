#pragma once

#include "ui/pages/CaptionedLists.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <vector>

// The " Unread Messages " tab: the reminder alert for unread messages and how often it
// repeats. V2 pagers offer three longer reminder intervals. The repeat count only matters
// while the reminder is on, so its list is greyed while the alert is "Disable".
class CUnreadSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 150;
    static constexpr int kAlertList = 1041;
    static constexpr int kAlertTimesList = 1043;

    explicit CUnreadSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void alertChosen(int index);
    void applyRepeatRule();

    SettingsBinding binding_;
    std::vector<CaptionedList> lists_;
};
