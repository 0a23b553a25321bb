#include "ui/pages/RfSettingsPage.h"

#include "image/FrequencyBand.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const CaptionedListRow kLists[] = {
    {kNoControlId,
     QStringLiteral("Polarity"),
     CRFSet::kPolarityList,
     {QStringLiteral("Normal"), QStringLiteral("Invert")},
     &PagerSettings::polarity},
    {kNoControlId,
     QStringLiteral("Baud rate"),
     CRFSet::kBaudRateList,
     {QStringLiteral("512BPS"), QStringLiteral("1200BPS"), QStringLiteral("2400BPS")},
     &PagerSettings::baudRate},
};

// Room for the eight characters of a frequency such as "152.8400".
constexpr int kFrequencyEditWidth = 120;

} // namespace

CRFSet::CRFSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    QVBoxLayout* column = CreateListColumn(this);
    AddCaptionedLists(this, column, kLists, binding_);

    frequency_ = CreateLatin1Edit(this, kFrequencyEdit,
                                  static_cast<int>(PagerSettings::kFrequencyTextWidth));
    frequency_->setFixedWidth(kFrequencyEditWidth);
    binding_.bind(frequency_, &PagerSettings::frequencyText);
    auto* frequencyRow = new QHBoxLayout;
    frequencyRow->addWidget(frequency_);
    frequencyRow->addWidget(CreateLabel(this, QStringLiteral("MHz")));
    frequencyRow->addStretch(1);
    column->addSpacing(10);
    column->addWidget(CreateLabel(this, QStringLiteral("Frequency"), frequency_));
    column->addLayout(frequencyRow);

    bandLabel_ = CreateLabel(this, QStringLiteral("Static"), nullptr, kBandLabel);
    column->addWidget(bandLabel_);
    column->addStretch(1);

    connect(frequency_, &QLineEdit::textChanged, this, &CRFSet::showBandLabel);
    CRFSet::loadFromSettings(); // during construction only this class's own version can run
}

void CRFSet::loadFromSettings() {
    binding_.load(settings());
    // Setting an edit to the text it already holds reports no change; the label must still
    // follow the loaded text.
    showBandLabel();
}

void CRFSet::storeToSettings() {
    binding_.store(settings());
}

void CRFSet::showBandLabel() {
    bandLabel_->setText(Latin1ToQString(FrequencyBandLabel(TextOf(frequency_))));
}
