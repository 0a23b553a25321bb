#include "ui/pages/OtaPage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <cstdint>

namespace {

struct PermissionBox {
    int id;
    const char* caption;
    std::uint8_t PagerSettings::*setting;
};

// Top to bottom under the password.
constexpr PermissionBox kPermissions[] = {
    {COTADlg::kAllowFrequencyBox, "Allow frequency changes OTA", &PagerSettings::otaAllowFrequency},
    {COTADlg::kAllowCapcodeBox, "Allow capcode changes OTA", &PagerSettings::otaAllowCapcode},
    {COTADlg::kAllowBaudRateBox, "Allow baud rate changes OTA", &PagerSettings::otaAllowBaudRate},
    {COTADlg::kAllowCapcodeEnableBox, "Allow disabling/enabling capcodes OTA",
     &PagerSettings::otaAllowCapcodeEnable},
};

} // namespace

COTADlg::COTADlg(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(10);

    enable_ =
        CreateCheckBox(this, kEnableBox, QStringLiteral("Enable over the air (OTA) functions"));
    binding_.bind(enable_, &PagerSettings::otaEnable);
    column->addWidget(enable_);

    QLineEdit* password =
        CreateLatin1Edit(this, kPasswordEdit, static_cast<int>(PagerSettings::kOtaPasswordWidth));
    binding_.bind(password, &PagerSettings::otaPassword);
    QLabel* passwordCaption =
        CreateLabel(this, QStringLiteral("OTA password"), password, kPasswordCaption);
    // The password and the permissions sit indented under the box that enables them.
    auto* details = new QVBoxLayout;
    details->setContentsMargins(20, 0, 0, 0);
    details->setSpacing(10);
    column->addLayout(details);
    auto* passwordRow = new QHBoxLayout;
    passwordRow->addWidget(passwordCaption);
    passwordRow->addWidget(password);
    passwordRow->addWidget(CreateLabel(this, QStringLiteral("Must be 8 characters")));
    passwordRow->addStretch(1);
    details->addLayout(passwordRow);
    dependents_ = {passwordCaption, password};

    for (const PermissionBox& permission : kPermissions) {
        QCheckBox* box =
            CreateCheckBox(this, permission.id, QString::fromLatin1(permission.caption));
        binding_.bind(box, permission.setting);
        details->addWidget(box);
        dependents_.push_back(box);
    }
    column->addStretch(1);

    connect(enable_, &QCheckBox::clicked, this, &COTADlg::enableClicked);
    COTADlg::loadFromSettings(); // during construction only this class's own version can run
}

void COTADlg::loadFromSettings() {
    applyOtaRule();
    binding_.load(settings());
}

void COTADlg::storeToSettings() {
    binding_.store(settings());
}

void COTADlg::enableClicked() {
    settings().otaEnable = CheckValueOf(enable_);
    applyOtaRule();
}

void COTADlg::applyOtaRule() {
    const bool otaOn = settings().otaEnable != 0;
    for (QWidget* dependent : dependents_) {
        dependent->setEnabled(otaOn);
    }
}
