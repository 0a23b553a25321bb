#pragma once

#include "ui/pages/CaptionedLists.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <vector>

// The " Duplicate Messages " tab: what the pager does with a message it already has, and the
// window in which it checks. With "Not check" the window means nothing: its list is greyed,
// and each store, after reading it, sets it back to "Disable" so that the next store writes
// no window. Like its sister pages it swallows the Enter key, so that Enter on this tab cannot
// reach the main window's buttons.
class CRepeatSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 146;
    static constexpr int kBehaviourList = 1037;
    static constexpr int kCheckingCaption = 1053;
    static constexpr int kCheckingList = 1035;
    // Behaviour index of "Not check".
    static constexpr std::uint8_t kNotChecked = 2;

    explicit CRepeatSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void behaviourChosen(int index);
    void resetCheckingWhenNotChecked();
    void applyCheckingRule();

    SettingsBinding binding_;
    std::vector<CaptionedList> lists_;
};
