#include "ui/toolkit/date_text.h"

#include "model/planner.h"

#include <unicode/smpdtfmt.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace vellumark::toolkit {

namespace {

bool formatterCreated = false;

std::unique_ptr<icu::DateFormat> makeFormatter() {
    formatterCreated = true;
    std::unique_ptr<icu::DateFormat> formatter(icu::DateFormat::createDateTimeInstance(
        icu::DateFormat::kMedium, icu::DateFormat::kMedium, icuLocale(timeLocaleName())));
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

// A run of one pattern letter ("MMM"), or literal text (quotes already taken out).
struct PatternPiece {
    QChar letter;
    int count = 0;
    QString literal;
    bool dropped = false;

    bool isField() const { return count > 0; }
};

bool isPatternLetter(QChar c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

std::vector<PatternPiece> piecesOf(const QString& pattern) {
    std::vector<PatternPiece> parts;
    const auto addLiteral = [&parts](const QString& text) {
        if (!parts.empty() && !parts.back().isField()) {
            parts.back().literal += text;
        } else {
            parts.push_back({QChar(), 0, text});
        }
    };
    const auto size = pattern.size();
    for (qsizetype i = 0; i < size;) {
        const QChar c = pattern[i];
        if (c == u'\'') {
            // '' is a quote; 'text' is text, in which '' is a quote too.
            QString text;
            qsizetype j = i + 1;
            if (j < size && pattern[j] == u'\'') {
                text = QStringLiteral("'");
                ++j;
            } else {
                for (; j < size; ++j) {
                    if (pattern[j] != u'\'') {
                        text += pattern[j];
                    } else if (j + 1 < size && pattern[j + 1] == u'\'') {
                        text += u'\'';
                        ++j;
                    } else {
                        ++j;
                        break;
                    }
                }
            }
            addLiteral(text);
            i = j;
        } else if (isPatternLetter(c)) {
            qsizetype j = i;
            while (j < size && pattern[j] == c) {
                ++j;
            }
            parts.push_back({c, static_cast<int>(j - i), {}});
            i = j;
        } else {
            addLiteral(QString(c));
            ++i;
        }
    }
    return parts;
}

// The QDateTimeEdit field for an ICU one; empty for what a picker leaves out.
QString pickerField(QChar letter, int count) {
    switch (letter.unicode()) {
        case u'y':
        case u'Y':
        case u'u':
        case u'r':
            return QStringLiteral("yyyy");
        case u'M':
        case u'L':
            return QString(std::min(count, 4), u'M');
        case u'd':
            return QString(std::min(count, 2), u'd');
        case u'E':
        case u'c':
        case u'e':
            return count <= 3 ? QStringLiteral("ddd") : QStringLiteral("dddd");
        case u'h':
        case u'K':
            return QString(std::min(count, 2), u'h');
        case u'H':
        case u'k':
            return QString(std::min(count, 2), u'H');
        case u'm':
            return QString(std::min(count, 2), u'm');
        case u'a':
        case u'b':
        case u'B':
            return QStringLiteral("AP");
        default:
            return {};
    }
}

}  // namespace

std::string timeLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') {
            return value;
        }
    }
    return "C";
}

icu::Locale icuLocale(const std::string& posixName) {
    const std::string language = posixName.substr(0, posixName.find_first_of(".@"));
    if (language == "C" || language == "POSIX") {
        return {"en_US_POSIX"};
    }
    return icu::Locale::createCanonical(posixName.c_str());
}

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

QString pickerFormat() {
    icu::UnicodeString pattern(u"yyyy-MM-dd HH:mm:ss");
    if (const auto* simple = dynamic_cast<const icu::SimpleDateFormat*>(&sharedDateFormatter())) {
        simple->toPattern(pattern);
    }
    return pickerFormat(QString(reinterpret_cast<const QChar*>(pattern.getBuffer()), pattern.length()));
}

QString pickerFormat(const QString& icuPattern) {
    std::vector<PatternPiece> parts = piecesOf(icuPattern);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (!parts[i].isField() || !pickerField(parts[i].letter, parts[i].count).isEmpty()) {
            continue;
        }
        // A field left out takes the separator before it along ("h:mm:ss a" -> "h:mm a"), or the one
        // after it when it comes first.
        parts[i].dropped = true;
        if (i > 0 && !parts[i - 1].isField()) {
            parts[i - 1].dropped = true;
        } else if (i + 1 < parts.size() && !parts[i + 1].isField()) {
            parts[i + 1].dropped = true;
        }
    }
    QString format;
    for (const PatternPiece& part : parts) {
        if (part.dropped) {
            continue;
        }
        if (part.isField()) {
            format += pickerField(part.letter, part.count);
        } else {
            format += u'\'' + QString(part.literal).replace(u'\'', QStringLiteral("''")) + u'\'';
        }
    }
    return format;
}

}  // namespace vellumark::toolkit
