#pragma once

#include "ui/pages/CapcodeListGrid.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

#include <memory>

// The " Tone Settings " tab: per capcode, the message type of tones A to D and the urgent
// tone. The urgent column exists in both modes but is shown in V2 mode only; in V1 mode its
// hidden lists still carry their settings through a load and a store.
class CAddressSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 140;
    static constexpr int kUrgentHeading = 1070;
    static constexpr int kFirstUrgentList = 1072;
    // The list of tone t (0..3 for A..D) on row 1; rows 2..8 follow on.
    static constexpr int FirstToneList(int tone) { return 1080 + 8 * tone; }

    explicit CAddressSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    SettingsBinding binding_;
    std::unique_ptr<CapcodeListGrid> grid_;
};
