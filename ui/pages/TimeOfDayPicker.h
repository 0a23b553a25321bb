#pragma once

#include <QTime>
#include <QTimeEdit>

#include <optional>

class QKeyEvent;

// A time-of-day picker (hours and minutes, spin buttons) that can also hold no time at all.
// Without a time it shows "--:--" and gives back nothing, until the user types a digit or
// steps the value, which starts from 00:00.
class TimeOfDayPicker final : public QTimeEdit {
    Q_OBJECT

public:
    explicit TimeOfDayPicker(QWidget* parent = nullptr);

    // Shows the time (seconds dropped), or no time.
    void showTime(const std::optional<QTime>& time);
    std::optional<QTime> shownTime() const;

    void stepBy(int steps) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void startTime();

    bool hasTime_ = false;
};
