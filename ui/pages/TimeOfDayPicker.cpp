#include "ui/pages/TimeOfDayPicker.h"

#include <QKeyEvent>

namespace {

// Shown in place of a time; the picker's value then rests at its minimum, 00:00.
const QString kNoTimeText = QStringLiteral("--:--");

} // namespace

TimeOfDayPicker::TimeOfDayPicker(QWidget* parent) : QTimeEdit(parent) {
    setDisplayFormat(QStringLiteral("HH:mm"));
    setTimeRange(QTime(0, 0), QTime(23, 59));
    showTime(std::nullopt);
}

void TimeOfDayPicker::showTime(const std::optional<QTime>& time) {
    hasTime_ = time.has_value() && time->isValid();
    setSpecialValueText(hasTime_ ? QString() : kNoTimeText);
    setTime(hasTime_ ? QTime(time->hour(), time->minute()) : minimumTime());
}

std::optional<QTime> TimeOfDayPicker::shownTime() const {
    if (!hasTime_) {
        return std::nullopt;
    }
    return QTime(time().hour(), time().minute());
}

void TimeOfDayPicker::stepBy(int steps) {
    startTime();
    QTimeEdit::stepBy(steps);
}

void TimeOfDayPicker::keyPressEvent(QKeyEvent* event) {
    if (!hasTime_ && !event->text().isEmpty() && event->text().front().isDigit()) {
        startTime();
        setSelectedSection(HourSection); // the digits replace the hours, as on a fresh picker
    }
    QTimeEdit::keyPressEvent(event);
}

void TimeOfDayPicker::startTime() {
    if (!hasTime_) {
        showTime(minimumTime());
    }
}
