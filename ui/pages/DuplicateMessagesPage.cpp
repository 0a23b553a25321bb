#include "ui/pages/DuplicateMessagesPage.h"

#include <QComboBox>

namespace {

enum Row { kBehaviour, kChecking };

// In Row order.
const CaptionedListRow kRows[] = {
    {kNoControlId,
     QStringLiteral("Duplicate Message Behaviour"),
     CRepeatSet::kBehaviourList,
     {QStringLiteral("Replace message"), QStringLiteral("Save as new"),
      QStringLiteral("Not check")},
     &PagerSettings::duplicateBehaviour},
    {CRepeatSet::kCheckingCaption,
     QStringLiteral("Duplicate Message Checking"),
     CRepeatSet::kCheckingList,
     {QStringLiteral("Disable"), QStringLiteral("Enable/1Min"), QStringLiteral("Enable/2Min"),
      QStringLiteral("Enable/3Min"), QStringLiteral("Enable/4Min")},
     &PagerSettings::duplicateCheckWindow},
};

constexpr std::uint8_t kCheckingDisabled = 0;

} // namespace

CRepeatSet::CRepeatSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    lists_ = BuildListColumn(this, kRows, binding_);
    connect(lists_[kBehaviour].list, &QComboBox::activated, this, &CRepeatSet::behaviourChosen);
    CRepeatSet::loadFromSettings(); // during construction only this class's own version can run
}

void CRepeatSet::loadFromSettings() {
    applyCheckingRule();
    binding_.load(settings());
}

void CRepeatSet::storeToSettings() {
    binding_.store(settings());
    resetCheckingWhenNotChecked();
}

void CRepeatSet::behaviourChosen(int) {
    settings().duplicateBehaviour = ListIndexOf(lists_[kBehaviour].list);
    resetCheckingWhenNotChecked();
    applyCheckingRule();
}

// Only the list changes; the setting follows at the next store.
void CRepeatSet::resetCheckingWhenNotChecked() {
    if (settings().duplicateBehaviour == kNotChecked) {
        ShowListIndex(lists_[kChecking].list, kCheckingDisabled);
    }
}

void CRepeatSet::applyCheckingRule() {
    lists_[kChecking].setEnabled(settings().duplicateBehaviour != kNotChecked);
}
