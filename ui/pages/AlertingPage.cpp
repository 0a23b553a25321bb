#include "ui/pages/AlertingPage.h"

#include "ui/pages/TimeOfDayPicker.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

namespace {

const QStringList kOffOn{QStringLiteral("Disable"), QStringLiteral("Enable")};

struct ListRow {
    const char* label;
    int id;
    QStringList items;
    ByteField field;
};

struct TimeRow {
    const char* label;
    int id;
    std::uint8_t PagerSettings::*hour;
    std::uint8_t PagerSettings::*minute;
};

const TimeRow kTimes[] = {
    {"ON", CMsgAlert::kSilenceOnPicker, &PagerSettings::silenceOnHour,
     &PagerSettings::silenceOnMinute},
    {"OFF", CMsgAlert::kSilenceOffPicker, &PagerSettings::silenceOffHour,
     &PagerSettings::silenceOffMinute},
};

std::optional<QTime> TimeOfDay(std::uint8_t hour, std::uint8_t minute) {
    if (hour > 23 || minute > 59) {
        return std::nullopt;
    }
    return QTime(hour, minute);
}

} // namespace

QStringList CMsgAlert::AlertLengthItems() {
    QStringList items{QStringLiteral("Continue")};
    for (int seconds = 1; seconds <= 99; ++seconds) {
        // The lengths 2, 12, ..., 92 read with one more trailing blank; kept as users know them.
        items.append(QStringLiteral("%1 s%2").arg(seconds).arg(seconds % 10 == 2 ? " " : ""));
    }
    return items;
}

CMsgAlert::CMsgAlert(const PageEnvironment& environment, QWidget* parent)
    : SettingsPage(environment, kTemplateId, parent) {
    const ListRow lists[] = {
        {"Alert length", kAlertLengthList, AlertLengthItems(), &PagerSettings::alertLength},
        {"Key tone", kKeyToneList, kOffOn, &PagerSettings::keyTone},
        {"Type of battery", kBatteryTypeList,
         QStringList{QStringLiteral("Normal"), QStringLiteral("Rechargeable")},
         &PagerSettings::batteryType},
        {"Backlight on when message received", kBacklightList, kOffOn,
         &PagerSettings::backlightOnMessage},
        {"Low battery alert", kLowBatteryAlertList,
         QStringList{QStringLiteral("Disable"), QStringLiteral("Enable/1Min"),
                     QStringLiteral("Enable/2Min"), QStringLiteral("Enable/3Min"),
                     QStringLiteral("Enable/4Min")},
         &PagerSettings::lowBatteryAlert},
        {"Low battery silence alerts for timeframe", kLowBatterySilenceList, kOffOn,
         &PagerSettings::lowBatterySilence},
    };

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(16, 16, 16, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    int row = 0;
    for (const ListRow& entry : lists) {
        QComboBox* list = CreateComboBox(this, entry.id, entry.items);
        grid->addWidget(CreateLabel(this, QString::fromLatin1(entry.label), list), row, 0);
        grid->addWidget(list, row, 1);
        binding_.bind(list, entry.field);
        ++row;
    }
    silenceList_ = FindControl<QComboBox>(this, kLowBatterySilenceList);

    auto* window = new QHBoxLayout;
    window->setSpacing(8);
    for (std::size_t i = 0; i < pickers_.size(); ++i) {
        auto* picker = new TimeOfDayPicker(this);
        SetControlId(picker, kTimes[i].id);
        window->addWidget(CreateLabel(this, QString::fromLatin1(kTimes[i].label), picker));
        window->addWidget(picker);
        window->addSpacing(16);
        pickers_[i] = picker;
    }
    window->addStretch(1);
    grid->addLayout(window, row++, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(row, 1);

    connect(silenceList_, &QComboBox::activated, this,
            [this](int index) { enableSilenceWindow(index != 0); });
    CMsgAlert::loadFromSettings(); // during construction only this class's own version can run
}

void CMsgAlert::loadFromSettings() {
    binding_.load(settings());
    enableSilenceWindow(settings().lowBatterySilence != 0);
    for (std::size_t i = 0; i < pickers_.size(); ++i) {
        const TimeRow& row = kTimes[i];
        pickers_[i]->showTime(TimeOfDay(settings().*row.hour, settings().*row.minute));
    }
}

void CMsgAlert::storeToSettings() {
    binding_.store(settings());
    for (std::size_t i = 0; i < pickers_.size(); ++i) {
        const TimeRow& row = kTimes[i];
        const std::optional<QTime> time = pickers_[i]->shownTime();
        settings().*row.hour = time ? static_cast<std::uint8_t>(time->hour()) : kNoTime;
        settings().*row.minute = time ? static_cast<std::uint8_t>(time->minute()) : kNoTime;
    }
}

void CMsgAlert::enableSilenceWindow(bool enabled) {
    for (TimeOfDayPicker* picker : pickers_) {
        picker->setEnabled(enabled);
    }
}
