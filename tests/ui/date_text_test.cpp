// ctest runs each test in a process of its own, so the shared formatter starts unmade in each (the
// first test here also holds when the whole file runs in one process).
#include "ui/toolkit/date_text.h"

#include "model/planner.h"

#include <unicode/locid.h>
#include <unicode/timezone.h>

#include <gtest/gtest.h>

namespace vellumark::toolkit {
namespace {

// English, in a zone half an hour off UTC all year, so that a formatter in UTC would show.
class IcuDefaults : public ::testing::Environment {
public:
    void SetUp() override {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale::getUS(), status);
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

}  // namespace
}  // namespace vellumark::toolkit
