#include "ui/pages/UnreadMessagesPage.h"

#include <QComboBox>

namespace {

enum Row { kAlert, kAlertTimes };

const QStringList kV1Alerts = {
    QStringLiteral("Disable"),     QStringLiteral("Enable/15s"),  QStringLiteral("Enable/30s"),
    QStringLiteral("Enable/1Min"), QStringLiteral("Enable/2Min"),
};
const QStringList kV2Alerts = kV1Alerts + QStringList{
                                              QStringLiteral("Enable/5Min"),
                                              QStringLiteral("Enable/10Min"),
                                              QStringLiteral("Enable/15Min"),
                                          };

// "Continue", then 10 to 250 repeats in steps of 10.
QStringList AlertTimesItems() {
    QStringList items{QStringLiteral("Continue")};
    for (int times = 10; times <= 250; times += 10) {
        items << QString::number(times);
    }
    return items;
}

// In Row order.
const CaptionedListRow kRows[] = {
    {kNoControlId,
     QStringLiteral("Unread message alert"),
     CUnreadSet::kAlertList,
     {},
     &PagerSettings::unreadAlert},
    {kNoControlId, QStringLiteral("Unread message alert times"), CUnreadSet::kAlertTimesList,
     AlertTimesItems(), &PagerSettings::unreadAlertTimes},
};

} // namespace

CUnreadSet::CUnreadSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    lists_ = BuildListColumn(this, kRows, binding_);
    connect(lists_[kAlert].list, &QComboBox::activated, this, &CUnreadSet::alertChosen);
    CUnreadSet::loadFromSettings(); // during construction only this class's own version can run
}

void CUnreadSet::loadFromSettings() {
    SetComboItems(lists_[kAlert].list, isV1Mode() ? kV1Alerts : kV2Alerts);
    binding_.load(settings());
    applyRepeatRule();
}

void CUnreadSet::storeToSettings() {
    binding_.store(settings());
}

void CUnreadSet::alertChosen(int) {
    settings().unreadAlert = ListIndexOf(lists_[kAlert].list);
    applyRepeatRule();
}

void CUnreadSet::applyRepeatRule() {
    lists_[kAlertTimes].list->setEnabled(settings().unreadAlert != 0);
}
