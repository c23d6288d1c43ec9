#include "ui/toolkit/date_text.h"

#include "model/planner.h"

#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <memory>

namespace vellumark::toolkit {

namespace {

bool formatterCreated = false;

std::unique_ptr<icu::DateFormat> makeFormatter() {
    formatterCreated = true;
    std::unique_ptr<icu::DateFormat> formatter(
        icu::DateFormat::createDateTimeInstance(icu::DateFormat::kMedium, icu::DateFormat::kMedium));
    if (!formatter) {
        // Only without locale data: an unambiguous pattern still tells the dates apart.
        UErrorCode status = U_ZERO_ERROR;
        formatter = std::make_unique<icu::SimpleDateFormat>(icu::UnicodeString(u"yyyy-MM-dd HH:mm:ss"),
                                                            icu::Locale::getRoot(), status);
    }
    return formatter;
}

UDate udate(const Date& date) {
    return static_cast<double>(date.seconds()) * 1000.0 + static_cast<double>(date.nanoseconds()) / 1e6;
}

}  // namespace

const icu::DateFormat& sharedDateFormatter() {
    static const std::unique_ptr<icu::DateFormat> formatter = makeFormatter();
    return *formatter;
}

bool isSharedDateFormatterCreated() {
    return formatterCreated;
}

QString dateText(const std::optional<Date>& date) {
    if (!date || datesMatch(date, removedDateMarker())) {
        return QStringLiteral("-----");
    }
    icu::UnicodeString text;
    sharedDateFormatter().format(udate(*date), text);
    return QString(reinterpret_cast<const QChar*>(text.getBuffer()), text.length());
}

}  // namespace vellumark::toolkit
