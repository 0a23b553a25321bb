#include "ui/pages/MessageSettingsPage.h"

#include <QComboBox>

namespace {

enum Row { kDeletion, kOrder };

const QStringList kV1Deletion = {
    QStringLiteral("User can delete any messages"),
    QStringLiteral("User cannot delete last 10 messages"),
};
const QStringList kV2Deletion = kV1Deletion + QStringList{
                                                  QStringLiteral("User cannot delete any messages"),
                                              };
const QStringList kV1Order = {QStringLiteral("New->No.1"), QStringLiteral("Oldest->No.1")};
const QStringList kV2Order = QStringList{QStringLiteral("None")} + kV1Order;

// In Row order; both lists are filled by mode.
const CaptionedListRow kRows[] = {
    {kNoControlId,
     QStringLiteral("User Message deletion"),
     CSPF::kDeletionList,
     {},
     &PagerSettings::messageDeletion},
    {CSPF::kOrderCaption,
     QStringLiteral("Message number order"),
     CSPF::kOrderList,
     {},
     &PagerSettings::messageNumberOrder},
};

// The last index of the V1 order list.
constexpr std::uint8_t kLastV1Order = 1;

} // namespace

CSPF::CSPF(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    lists_ = BuildListColumn(this, kRows, binding_);
    connect(lists_[kOrder].list, &QComboBox::activated, this, &CSPF::orderChosen);
    CSPF::loadFromSettings(); // during construction only this class's own version can run
}

void CSPF::loadFromSettings() {
    SetComboItems(lists_[kDeletion].list, isV1Mode() ? kV1Deletion : kV2Deletion);
    SetComboItems(lists_[kOrder].list, isV1Mode() ? kV1Order : kV2Order);
    if (isV1Mode() && settings().messageNumberOrder > kLastV1Order) {
        settings().messageNumberOrder = 0;
    }
    binding_.load(settings());
}

void CSPF::storeToSettings() {
    binding_.store(settings());
}

void CSPF::orderChosen(int) {
    settings().messageNumberOrder = ListIndexOf(lists_[kOrder].list);
}
