#include "ui/toolkit/date_picker.h"

#include "model/date.h"

#include <QLocale>
#include <QSignalBlocker>

namespace vellumark::toolkit {

namespace {

// The locale's short date with a four-digit year, and its short time (hour and minute).
QString pickerFormat(const QLocale& locale) {
    QString date = locale.dateFormat(QLocale::ShortFormat);
    if (!date.contains(QLatin1String("yyyy"))) {
        date.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    }
    QString time = locale.timeFormat(QLocale::ShortFormat);
    time.remove(QLatin1String(":ss"));
    return date + QLatin1Char(' ') + time;
}

}  // namespace

DatePicker::DatePicker(std::function<void(Date)> write, QWidget* parent)
    : QDateTimeEdit(parent), write_(std::move(write)) {
    setTimeSpec(Qt::LocalTime);
    setDisplayFormat(pickerFormat(locale()));
    setCalendarPopup(true);
    setDateTimeRange(QDateTime(QDate(100, 1, 1), QTime(0, 0)),
                     QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
    // A typed year is one edit, not four writes of growing years.
    setKeyboardTracking(false);
    connect(this, &QDateTimeEdit::dateTimeChanged, this,
            [this](const QDateTime& shown) { write_(writtenDate(shown)); });
}

void DatePicker::showDate(const Date& date) {
    const QDateTime shown = QDateTime::fromSecsSinceEpoch(date.seconds(), Qt::LocalTime);
    if (shown == dateTime()) {
        return;
    }
    const QSignalBlocker blocker(this);
    setDateTime(shown);
}

Date DatePicker::writtenDate(const QDateTime& shown) {
    const QTime time = shown.time();
    const QDateTime minute(shown.date(), QTime(time.hour(), time.minute()), Qt::LocalTime);
    return Date::fromParts(minute.toSecsSinceEpoch());
}

}  // namespace vellumark::toolkit
