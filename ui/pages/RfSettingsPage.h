#pragma once

#include "ui/pages/CaptionedLists.h"
#include "ui/pages/SettingsBinding.h"
#include "ui/pages/SettingsPage.h"

class QLabel;
class QLineEdit;

// The " RF Settings " tab: receive frequency with its band label, baud rate and polarity. The
// frequency is free text in MHz; the label under it names the band the text falls in and is
// recomputed on every change of the text, however it came (typed, pasted or loaded). The label
// only informs: no text is refused.
class CRFSet : public SettingsPage {
    Q_OBJECT

public:
    static constexpr int kTemplateId = 154;
    static constexpr int kPolarityList = 1033;
    static constexpr int kBaudRateList = 1034;
    static constexpr int kFrequencyEdit = 1029;
    static constexpr int kBandLabel = 1053;

    explicit CRFSet(const PageEnvironment& environment, QWidget* parent = nullptr);

    void loadFromSettings() override;
    void storeToSettings() override;

private:
    void showBandLabel();

    SettingsBinding binding_;
    QLineEdit* frequency_ = nullptr;
    QLabel* bandLabel_ = nullptr;
};
