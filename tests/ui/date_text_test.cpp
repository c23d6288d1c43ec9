// ctest runs each test in a process of its own, so the shared formatter starts unmade in each (the
// first test here also holds when the whole file runs in one process).
#include "ui/toolkit/date_text.h"

#include "model/planner.h"

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

namespace vellumark::toolkit {
namespace {

// Dates in US English while texts are in German, in a zone half an hour off UTC all year, so that a
// formatter in UTC or in the language of texts would show.
class IcuDefaults : public ::testing::Environment {
public:
    void SetUp() override {
        ::unsetenv("LC_ALL");
        ::setenv("LC_TIME", "en_US.UTF-8", 1);
        ::setenv("LC_MESSAGES", "de_DE.UTF-8", 1);
        ::setenv("LANG", "de_DE.UTF-8", 1);
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale::getGerman(), status);
        ASSERT_TRUE(U_SUCCESS(status));
        icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Kolkata"));
    }
};
const auto* const kIcuDefaults = ::testing::AddGlobalTestEnvironment(new IcuDefaults);

// ICU 72 puts U+202F (and some locales U+00A0) before AM/PM; the tests read them as plain spaces.
std::string plain(const QString& text) {
    QString copy = text;
    copy.replace(QChar(0x202F), QLatin1Char(' ')).replace(QChar(0x00A0), QLatin1Char(' '));
    return copy.toStdString();
}

TEST(DateTextTest, AbsentAndMarkerDatesReadAsDashesWithoutMakingTheFormatter) {
    const Date marker = removedDateMarker();
    EXPECT_EQ(dateText(std::nullopt), QStringLiteral("-----"));
    EXPECT_EQ(dateText(marker), QStringLiteral("-----"));
    // The marker's whole second, truncated toward zero: half a second earlier still counts.
    EXPECT_EQ(dateText(Date::fromParts(marker.seconds(), -500'000'000)), QStringLiteral("-----"));
    EXPECT_FALSE(isSharedDateFormatterCreated());

    EXPECT_NE(dateText(marker.addingSeconds(1)), QStringLiteral("-----"));
    EXPECT_TRUE(isSharedDateFormatterCreated());
}

TEST(DateTextTest, MediumDateAndMediumTimeWithSecondsInTheUsersZone) {
    EXPECT_EQ(plain(dateText(Date::fromParts(0))), "Jan 1, 1970, 5:30:00 AM");
    EXPECT_EQ(plain(dateText(Date::fromParts(1'700'000'000, 750'000'000))), "Nov 15, 2023, 3:43:20 AM");
    EXPECT_EQ(plain(dateText(Date::fromParts(1'718'000'000))), "Jun 10, 2024, 11:43:20 AM");
}

TEST(DateTextTest, TheFormatterIsMadeOnceAndKept) {
    const icu::DateFormat* first = &sharedDateFormatter();
    dateText(Date::fromParts(1));
    dateText(Date::fromParts(2));
    EXPECT_EQ(&sharedDateFormatter(), first);
}

TEST(DateTextTest, DatesFollowLcAllThenLcTimeThenLang) {
    const auto localeWith = [](const char* all, const char* time, const char* lang) {
        for (const auto& [name, value] : {std::pair("LC_ALL", all), {"LC_TIME", time}, {"LANG", lang}}) {
            value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
        }
        return timeLocaleName();
    };
    EXPECT_EQ(localeWith("fr_FR.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8"), "fr_FR.UTF-8");
    EXPECT_EQ(localeWith("", "de_DE.UTF-8", "en_GB.UTF-8"), "de_DE.UTF-8");
    EXPECT_EQ(localeWith(nullptr, nullptr, "en_GB.UTF-8"), "en_GB.UTF-8");
    EXPECT_EQ(localeWith(nullptr, nullptr, nullptr), "C");
    localeWith(nullptr, "en_US.UTF-8", "de_DE.UTF-8");

    EXPECT_STREQ(icuLocale("de_DE.UTF-8").getName(), "de_DE");
    EXPECT_STREQ(icuLocale("C.UTF-8").getName(), "en_US_POSIX");
}

TEST(DateTextTest, ThePickerShowsTheTablesPatternToTheMinute) {
    // What the table shows under LC_TIME=en_US, to the minute.
    EXPECT_EQ(pickerFormat(), QString::fromUtf16(u"MMM' 'd', 'yyyy', 'h':'mm'\u202F'AP"));
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"dd.MM.y, HH:mm:ss", u"dd'.'MM'.'yyyy', 'HH':'mm"},
        {u"HH:mm:ss d MMM, y", u"HH':'mm' 'd' 'MMM', 'yyyy"},
        {u"d 'de' MMM 'de' y, HH:mm:ss", u"d' de 'MMM' de 'yyyy', 'HH':'mm"},
        {u"d.MM.y 'г'., H:mm:ss 'ч'.", u"d'.'MM'.'yyyy' г., 'H':'mm' ч.'"},
        {u"y年M月d日 Bh:mm:ss", u"yyyy'年'M'月'd'日 'APh':'mm"},
        {u"h:mm:ss a zzzz 'o''clock'", u"h':'mm' 'AP' o''clock'"},
    };
    for (const auto& [icu, qt] : cases) {
        EXPECT_EQ(pickerFormat(QString::fromUtf16(icu)).toStdString(), QString::fromUtf16(qt).toStdString());
    }
}

}  // namespace
}  // namespace vellumark::toolkit
