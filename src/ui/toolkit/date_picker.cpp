#include "ui/toolkit/date_picker.h"

#include "model/date.h"
#include "ui/toolkit/date_text.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QRegularExpression>
#include <QSignalBlocker>

#include <unicode/parsepos.h>

namespace vellumark::toolkit {

namespace {

// Typed spaces stand for the no-break spaces some formats have (ICU puts one before "PM").
QString plainSpaces(QString text) {
    return text.replace(QChar(0x202F), u' ').replace(QChar(0x00A0), u' ');
}

bool sameText(const QString& formatted, const QString& typed) {
    return plainSpaces(formatted).compare(typed, Qt::CaseInsensitive) == 0;
}

std::optional<QDateTime> isoDateTime(const QString& typed) {
    static const QRegularExpression complete(
        QStringLiteral(R"(^\d{4}-\d{2}-\d{2}[T ]\d{2}:\d{2}(:\d{2}(\.\d+)?)?(Z|[+-]\d{2}(:?\d{2})?)?$)"));
    if (!complete.match(typed).hasMatch()) {
        return std::nullopt;
    }
    QString iso = typed;
    iso[10] = u'T';
    const QDateTime parsed = QDateTime::fromString(iso, Qt::ISODateWithMs);
    return parsed.isValid() ? std::optional(parsed.toLocalTime()) : std::nullopt;
}

std::optional<QDateTime> tableDateTime(const QString& typed) {
    const icu::UnicodeString text(reinterpret_cast<const char16_t*>(typed.utf16()),
                                  static_cast<int32_t>(typed.size()));
    icu::ParsePosition position(0);
    const UDate parsed = sharedDateFormatter().parse(text, position);
    if (position.getErrorIndex() >= 0 || position.getIndex() != text.length()) {
        return std::nullopt;
    }
    const auto milliseconds = static_cast<qint64>(parsed);
    const Date date = Date::fromParts(milliseconds / 1000);
    if (!sameText(dateText(date), typed)) {
        return std::nullopt;
    }
    return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::LocalTime);
}

}  // namespace

DatePicker::DatePicker(std::function<void(Date)> write, QWidget* parent)
    : QDateTimeEdit(parent), write_(std::move(write)) {
    setTimeSpec(Qt::LocalTime);
    setLocale(QLocale(QString::fromStdString(timeLocaleName())));
    setDisplayFormat(pickerFormat());
    setCalendarPopup(true);
    setDateTimeRange(QDateTime(QDate(100, 1, 1), QTime(0, 0)),
                     QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59)));
    setKeyboardTracking(true);
    connect(this, &QDateTimeEdit::dateTimeChanged, this, [this](const QDateTime& shown) {
        typingWhole_ = false;
        write_(writtenDate(shown));
    });
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

std::optional<QDateTime> DatePicker::typedDateTime(const QString& text) const {
    const QString typed = plainSpaces(text).trimmed();
    if (typed.isEmpty()) {
        return std::nullopt;
    }
    std::optional<QDateTime> found;
    const QString format = plainSpaces(displayFormat());
    if (const QDateTime shown = locale().toDateTime(typed, format);
        shown.isValid() && sameText(locale().toString(shown, format), typed)) {
        found = shown;
    } else {
        found = isoDateTime(typed);
        if (!found) {
            found = tableDateTime(typed);
        }
    }
    if (!found || *found < minimumDateTime() || *found > maximumDateTime()) {
        return std::nullopt;
    }
    return found;
}

QValidator::State DatePicker::validate(QString& text, int& pos) const {
    QString fields = text;
    int fieldsPos = pos;
    const QValidator::State state =
        typingWhole_ ? QValidator::Intermediate : QDateTimeEdit::validate(fields, fieldsPos);
    if (state == QValidator::Acceptable) {
        text = fields;
        pos = fieldsPos;
        return state;
    }
    // A whole date typed or pasted becomes the text the picker shows for it, which its fields can parse.
    if (const std::optional<QDateTime> typed = typedDateTime(text)) {
        text = textFromDateTime(*typed);
        pos = static_cast<int>(text.size());
        return QValidator::Acceptable;
    }
    // A whole date still being typed stays as typed: the fields cannot make sense of it yet.
    if (!typingWhole_) {
        text = fields;
        pos = fieldsPos;
    }
    return state;
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    const bool printable = !event->text().isEmpty() && event->text().at(0).isPrint() &&
                           (event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier)) == 0;
    const QLineEdit* edit = lineEdit();
    if (printable && (typingWhole_ || (edit->hasSelectedText() && edit->selectedText() == edit->text()))) {
        typingWhole_ = true;
        // Past QDateTimeEdit, which takes a separator as a move to the next field: here it is text.
        QAbstractSpinBox::keyPressEvent(event);  // NOLINT(bugprone-parent-virtual-call)
        return;
    }
    if (typingWhole_ && event->key() == Qt::Key_Escape) {
        typingWhole_ = false;
        lineEdit()->setText(textFromDateTime(dateTime()));
        return;
    }
    if (!printable && event->key() != Qt::Key_Backspace && event->key() != Qt::Key_Delete) {
        // Confirming, stepping or leaving: what was typed is taken as a date or dropped.
        typingWhole_ = false;
    }
    QDateTimeEdit::keyPressEvent(event);
}

void DatePicker::focusOutEvent(QFocusEvent* event) {
    typingWhole_ = false;
    QDateTimeEdit::focusOutEvent(event);
}

}  // namespace vellumark::toolkit
