#include "ui/pages/HandProgramPage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

namespace {

const TextBinding kTexts[] = {
    {CHandWrite::kPasswordEdit, &PagerSettings::handProgramPassword},
};
const CheckBinding kChecks[] = {
    {CHandWrite::kEnableBox, &PagerSettings::handProgramEnable},
};

} // namespace

CHandWrite::CHandWrite(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    auto* group = new QGroupBox(QStringLiteral("Hand program"), this);
    QLineEdit* password = CreateDigitsEdit(
        group, kPasswordEdit, static_cast<int>(PagerSettings::kHandProgramPasswordWidth));
    QLabel* passwordLabel = CreateLabel(group, QStringLiteral("Password"), password);
    QCheckBox* enable = CreateCheckBox(group, kEnableBox, QString());
    QLabel* enableLabel = CreateLabel(group, QStringLiteral("Enable"), enable);
    enable->setVisible(false);
    enableLabel->setVisible(false);

    auto* fields = new QGridLayout(group);
    fields->addWidget(passwordLabel, 0, 0);
    fields->addWidget(password, 0, 1);
    fields->setColumnStretch(2, 1);
    fields->setRowStretch(1, 1);
    group->setGeometry(10, 10, 230, 70);

    binding_.bind(this, kTexts);
    binding_.bind(this, kChecks);
    CHandWrite::loadFromSettings(); // during construction only this class's own version can run
}

void CHandWrite::loadFromSettings() {
    binding_.load(settings());
}

void CHandWrite::storeToSettings() {
    binding_.store(settings());
}
