#include "ui/pages/PagerMenuPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include <cstdint>

namespace {

struct MenuEntry {
    int id;
    const char* caption;
    std::uint8_t PagerSettings::*setting;
};

// Top to bottom as the page shows them; the last one carries the zoom list beside it.
constexpr MenuEntry kMenuEntries[] = {
    {CMenuSet::kAlertMenuBox, "Enable choose alert menu", &PagerSettings::menuAlertMenu},
    {CMenuSet::kNotebookBox, "Enable message to notebook", &PagerSettings::menuNotebook},
    {CMenuSet::kLockMessageBox, "Enable lock message", &PagerSettings::menuLockMessage},
    {CMenuSet::kSetTimeBox, "Enable set time", &PagerSettings::menuSetTime},
    {CMenuSet::kPrivateTimeBox, "Enable set private time", &PagerSettings::menuPrivateTime},
    {CMenuSet::kMessageAlarmBox, "Enable select message alarm", &PagerSettings::menuMessageAlarm},
    {CMenuSet::kTurnOffPagerBox, "Enable turn off pager", &PagerSettings::menuTurnOffPager},
    {CMenuSet::kVibrateModeBox, "Enable choose vibrate mode", &PagerSettings::menuVibrateMode},
    {CMenuSet::kSelectZoomBox, "Enable select zoom", &PagerSettings::menuSelectZoom},
};

const QStringList kZoomItems = {
    QStringLiteral("ZOOM 1 (4/8 Line)"),
    QStringLiteral("ZOOM 2 (2/4 Line)"),
    QStringLiteral("ZOOM 3 (2/4 Line Bold)"),
};

} // namespace

CMenuSet::CMenuSet(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(10);
    QCheckBox* selectZoom = nullptr;
    for (const MenuEntry& entry : kMenuEntries) {
        QCheckBox* box = CreateCheckBox(this, entry.id, QString::fromLatin1(entry.caption));
        binding_.bind(box, entry.setting);
        if (entry.id == kSelectZoomBox) {
            selectZoom = box;
        } else {
            column->addWidget(box);
        }
    }

    QComboBox* zoom = CreateComboBox(this, kZoomList, kZoomItems);
    binding_.bind(zoom, &PagerSettings::zoomLevel);
    auto* zoomRow = new QHBoxLayout;
    zoomRow->addWidget(selectZoom);
    zoomRow->addSpacing(30);
    zoomRow->addWidget(CreateLabel(this, QStringLiteral("Select zoom"), zoom));
    zoomRow->addWidget(zoom);
    zoomRow->addStretch(1);
    column->addLayout(zoomRow);
    column->addStretch(1);

    alertMenu_ = FindControl<QCheckBox>(this, kAlertMenuBox);
    setTime_ = FindControl<QCheckBox>(this, kSetTimeBox);
    privateTime_ = FindControl<QCheckBox>(this, kPrivateTimeBox);
    messageAlarm_ = FindControl<QCheckBox>(this, kMessageAlarmBox);
    connect(setTime_, &QCheckBox::clicked, this, &CMenuSet::setTimeClicked);

    CMenuSet::loadFromSettings(); // during construction only this class's own version can run
}

void CMenuSet::loadFromSettings() {
    binding_.load(settings());
    if (isV1Mode()) {
        alertMenu_->setVisible(false);
        alertMenu_->setChecked(true);
    } else {
        alertMenu_->setVisible(true);
    }
    applySetTimeRule();
}

void CMenuSet::storeToSettings() {
    binding_.store(settings());
}

void CMenuSet::setTimeClicked() {
    settings().menuSetTime = CheckValueOf(setTime_);
    applySetTimeRule();
}

void CMenuSet::applySetTimeRule() {
    const bool setTimeOffered = settings().menuSetTime != 0;
    privateTime_->setEnabled(setTimeOffered);
    messageAlarm_->setEnabled(setTimeOffered);
}
