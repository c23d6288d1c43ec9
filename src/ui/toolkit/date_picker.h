#pragma once

#include <QDateTimeEdit>

#include <functional>
#include <optional>

namespace vellumark {
// Declared, not included: moc 6.4 cannot parse <compare> when a header reaches it first.
class Date;
}  // namespace vellumark

namespace vellumark::toolkit {

// A date picker for the calendar date, the hour and the minute, in local time, with a calendar pop-up
// and no earliest or latest date beyond what the control can show (years 100 to 9999). It shows dates
// as the table does, in the locale dates follow (see pickerFormat()), to the minute.
//
// Every edit that leaves a valid date on display is written at once: a step, a digit typed into a
// field, or a whole date and time typed or pasted over the selected text (see typedDateTime()).
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

    // A whole date and time in `text`: in the picker's own format, in the table's (with seconds), or in
    // ISO 8601 ("2019-03-15T14:30", "2019-03-15 14:30:00", "2019-03-15T14:30:00Z"). Only complete texts
    // count, so that typing goes on: "14:3" is not yet 14:03.
    std::optional<QDateTime> typedDateTime(const QString& text) const;

protected:
    QValidator::State validate(QString& text, int& pos) const override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    std::function<void(Date)> write_;
    // Whether the user is typing a whole date over what was shown, rather than editing one field.
    bool typingWhole_ = false;
};

}  // namespace vellumark::toolkit
