#pragma once

#include "ui/pages/CaptionedLists.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <vector>

// The " Display " tab: menu language, date format, LCD contrast, capcodes at power-on and
// the number of stored messages. V2 pagers know two more languages; only they let the
// number of stored messages be chosen, so V1 mode hides that list (its value is still
// stored).
class CDisplaySet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 152;
    static constexpr int kLanguageList = 1034;
    static constexpr int kDateFormatList = 1031;
    static constexpr int kContrastList = 1036;
    static constexpr int kPowerOnCapcodesList = 1032;
    static constexpr int kStoredMessagesCaption = 1070;
    static constexpr int kStoredMessagesList = 1033;

    explicit CDisplaySet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    SettingsBinding binding_;
    std::vector<CaptionedList> lists_;
};
