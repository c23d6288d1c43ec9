#pragma once

#include <QDateTimeEdit>

#include <functional>

namespace vellumark {
// Declared, not included: moc 6.4 cannot parse <compare> when a header reaches it first.
class Date;
}  // namespace vellumark

namespace vellumark::toolkit {

// A date picker for the calendar date, the hour and the minute, in local time, with a calendar pop-up
// and no earliest or latest date beyond what the control can show (years 100 to 9999).
//
// An edit of either the date or the time writes exactly the minute on display: seconds and fractions
// of a second become zero. The picker never shows them, so keeping hidden seconds from the stored value
// would write a date the user never saw (the table shows seconds).
class DatePicker : public QDateTimeEdit {
    Q_OBJECT

public:
    explicit DatePicker(std::function<void(Date)> write, QWidget* parent = nullptr);

    // Presents the date without writing it back. Seconds are kept in the control but not shown.
    void showDate(const Date& date);

    // What an edit that leaves `shown` on display writes.
    static Date writtenDate(const QDateTime& shown);

private:
    std::function<void(Date)> write_;
};

}  // namespace vellumark::toolkit
