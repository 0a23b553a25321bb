#pragma once

#include "ui/pages/CaptionedLists.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <vector>

// The " Message Settings " tab: whether the user may delete messages and the numbering
// order of stored messages, with lists that depend on the programming mode. The V2 order list
// starts with "None", which V1 pagers lack; an order beyond the V1 list becomes its first
// entry as soon as the page is loaded in V1 mode. A chosen order is stored at once, so that a
// mode switch by the write procedure carries the choice over to the other list.
class CSPF : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 136;
    static constexpr int kDeletionList = 1039;
    static constexpr int kOrderCaption = 1070;
    static constexpr int kOrderList = 1042;

    explicit CSPF(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void orderChosen(int index);

    SettingsBinding binding_;
    std::vector<CaptionedList> lists_;
};
