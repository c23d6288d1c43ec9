#include "model/date.h"

#include "model/planner.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vellumark {
namespace {

TEST(Date, NormalisesNegativeFractionsBelowTheWholeSecond) {
    const Date date = Date::fromParts(0, -500'000'000);
    EXPECT_EQ(date.seconds(), -1);
    EXPECT_EQ(date.nanoseconds(), 500'000'000);
    EXPECT_EQ(Date::fromParts(5, 2'500'000'000), Date::fromParts(7, 500'000'000));
}

struct TruncationCase {
    double seconds;
    std::int64_t expected;
};

class DateTruncation : public testing::TestWithParam<TruncationCase> {};

TEST_P(DateTruncation, TruncatesTowardZero) {
    EXPECT_EQ(Date::fromSecondsSince1970(GetParam().seconds).wholeSecondsTowardZero(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(AroundZero, DateTruncation,
                         testing::Values(TruncationCase{0.3, 0}, TruncationCase{-0.5, 0},
                                         TruncationCase{-1.5, -1}, TruncationCase{-1.0, -1},
                                         TruncationCase{10.9, 10},
                                         TruncationCase{-2082844800.25, -2082844800}));

TEST(Date, KeepsNanosecondsThroughCenturiesOfShifting) {
    const Date fileDate = Date::fromParts(1'700'000'000, 123'456'789);
    const std::int64_t largestShift =
        100'000LL * 86'400 + 3 * 10'000LL * 3'600;  // days, hours, minutes, seconds
    const Date earlier = fileDate.addingSeconds(-largestShift);
    EXPECT_EQ(earlier.nanoseconds(), 123'456'789);
    EXPECT_EQ(earlier.addingSeconds(largestShift), fileDate);
    EXPECT_LT(earlier, removedDateMarker());

    const Date later = removedDateMarker().addingSeconds(largestShift);
    EXPECT_EQ(later.seconds(), removedDateMarker().seconds() + largestShift);
}

TEST(Date, ShiftingPastTheEndsOfTimeStopsThereInsteadOfWrapping) {
    constexpr std::int64_t kLatest = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kEarliest = std::numeric_limits<std::int64_t>::min();
    const Date nearEnd = Date::fromParts(kLatest - 100, 5);
    EXPECT_EQ(nearEnd.addingSeconds(86'400), Date::fromParts(kLatest, 999'999'999));
    EXPECT_GT(nearEnd.addingSeconds(86'400), nearEnd);
    const Date nearStart = Date::fromParts(kEarliest + 100, 5);
    EXPECT_EQ(nearStart.addingSeconds(-86'400), Date::fromParts(kEarliest, 0));
    EXPECT_EQ(nearStart.addingSeconds(-50), Date::fromParts(kEarliest + 50, 5));
}

TEST(Date, OrdersByInstantIncludingTheFraction) {
    EXPECT_LT(Date::fromParts(-1, 100), Date::fromParts(-1, 200));
    EXPECT_LT(Date::fromParts(-1, 999'999'999), Date::fromParts(0, 0));
    EXPECT_EQ(Date::fromSecondsSince1970(-0.5), Date::fromParts(-1, 500'000'000));
}

TEST(Date, ConvertsTheSystemClockToTheNanosecond) {
    const auto time = std::chrono::system_clock::time_point{} + std::chrono::nanoseconds{-1};
    EXPECT_EQ(Date::fromSystemTime(time), Date::fromParts(-1, 999'999'999));
}

// Across the whole range: before 1970, before year 0 and past 9999, the fraction without trailing zeros.
TEST(Date, WritesUtcTextAsPrintfWouldAtEveryYear) {
    constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
    constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
    const struct {
        std::int64_t seconds, nanoseconds;
        const char* text;
    } cases[] = {
        {0, 0, "1970-01-01 00:00:00 UTC"},
        {-1, 500'000'000, "1969-12-31 23:59:59.5 UTC"},
        {-86'401, 0, "1969-12-30 23:59:59 UTC"},
        {951'868'799, 123, "2000-02-29 23:59:59.000000123 UTC"},
        {-62'167'219'200, 0, "0000-01-01 00:00:00 UTC"},
        {-62'198'755'200, 0, "-001-01-01 00:00:00 UTC"},
        {253'402'300'800, 10, "10000-01-01 00:00:00.00000001 UTC"},
        {kLeast, 0, "-292277022657-01-27 08:29:52 UTC"},
        {kMost, 999'999'999, "292277026596-12-04 15:30:07.999999999 UTC"},
    };
    for (const auto& [seconds, nanoseconds, text] : cases) {
        EXPECT_EQ(utcText(Date::fromParts(seconds, nanoseconds)), text);
    }
    EXPECT_EQ(utcDayText(Date::fromParts(-62'198'755'200, 0)), "-001-01-01");
}

}  // namespace
}  // namespace vellumark
