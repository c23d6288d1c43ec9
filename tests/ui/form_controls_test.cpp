// The two-way bindings of the form controls: showing a value never writes; a user edit writes once.
#include "model/date.h"
#include "qt_test_support.h"
#include "ui/toolkit/date_picker.h"
#include "ui/toolkit/date_text.h"
#include "ui/toolkit/pickers.h"
#include "ui/toolkit/stepper.h"
#include "ui/toolkit/toggle.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace vellumark::toolkit {
namespace {

template <typename Value>
struct Writes {
    std::vector<Value> values;
    auto writer() {
        return [this](Value value) { values.push_back(value); };
    }
};

TEST(PickersTest, PopUpShowsWithoutWritingAndWritesOncePerChoice) {
    Writes<int> writes;
    PopUpPicker picker(titlesOf<DateActionKind>(), writes.writer());
    picker.showIndex(2);
    EXPECT_EQ(picker.currentIndex(), 2);
    EXPECT_TRUE(writes.values.empty());

    QTest::keyClick(&picker, Qt::Key_Down);
    EXPECT_EQ(writes.values, std::vector<int>({3}));
    picker.showIndex(0);
    EXPECT_EQ(writes.values.size(), 1u);
}

TEST(PickersTest, SegmentsWriteOnlyWhenTheChoiceChanges) {
    Writes<int> writes;
    SegmentedPicker picker(titlesOf<ShiftDirection>(), writes.writer());
    picker.showIndex(0);
    EXPECT_TRUE(picker.segment(0)->isChecked());
    EXPECT_TRUE(writes.values.empty());

    QTest::mouseClick(picker.segment(1), Qt::LeftButton);
    QTest::mouseClick(picker.segment(1), Qt::LeftButton);
    EXPECT_EQ(writes.values, std::vector<int>({1}));
    EXPECT_TRUE(picker.segment(1)->isChecked());

    picker.showIndex(0);
    EXPECT_TRUE(picker.segment(0)->isChecked());
    EXPECT_EQ(writes.values.size(), 1u);
}

TEST(ToggleTest, ShowsWithoutWritingAndWritesEachClick) {
    Writes<bool> writes;
    Toggle toggle("Option", writes.writer());
    toggle.showChecked(true);
    EXPECT_TRUE(toggle.isChecked());
    EXPECT_TRUE(writes.values.empty());

    QTest::keyClick(&toggle, Qt::Key_Space);
    EXPECT_EQ(writes.values, std::vector<bool>({false}));
}

struct StepperCase {
    const char* label;
    int maximum;
};

void PrintTo(const StepperCase& param, std::ostream* out) {
    *out << param.label << "0.." << param.maximum;
}

class StepperBoundsTest : public ::testing::TestWithParam<StepperCase> {};

TEST_P(StepperBoundsTest, NoKeyMovesTheValuePastAnEnd) {
    const StepperCase& param = GetParam();
    Writes<std::int64_t> writes;
    Stepper stepper(param.label, 0, param.maximum, writes.writer());

    stepper.showValue(param.maximum - 1);
    QTest::keyClick(&stepper, Qt::Key_Up);
    QTest::keyClick(&stepper, Qt::Key_Up);
    QTest::keyClick(&stepper, Qt::Key_PageUp);
    EXPECT_EQ(stepper.value(), param.maximum);
    EXPECT_EQ(writes.values, std::vector<std::int64_t>({param.maximum}));
    EXPECT_EQ(stepper.text(), QString(param.label) + QString::number(param.maximum));

    stepper.showValue(0);
    QTest::keyClick(&stepper, Qt::Key_Down);
    QTest::keyClick(&stepper, Qt::Key_PageDown);
    EXPECT_EQ(stepper.value(), 0);
    EXPECT_EQ(writes.values.size(), 1u);
}

TEST_P(StepperBoundsTest, TypedTextOutsideTheRangeIsRefused) {
    const StepperCase& param = GetParam();
    Writes<std::int64_t> writes;
    Stepper stepper(param.label, 0, param.maximum, writes.writer());
    stepper.showValue(0);
    stepper.selectAll();

    // One digit more than the maximum has: the last keystroke is refused.
    const QString tooLong = QString::number(param.maximum) + QLatin1Char('0');
    QTest::keyClicks(&stepper, QStringLiteral("-") + tooLong);
    QTest::keyClick(&stepper, Qt::Key_Return);
    EXPECT_EQ(stepper.value(), param.maximum);
    EXPECT_EQ(writes.values, std::vector<std::int64_t>({param.maximum}));
}

INSTANTIATE_TEST_SUITE_P(PanelSteppers, StepperBoundsTest,
                         ::testing::Values(StepperCase{"Days: ", 100000}, StepperCase{"Hours: ", 10000},
                                           StepperCase{"Minutes: ", 10000}, StepperCase{"Seconds: ", 10000}),
                         [](const ::testing::TestParamInfo<StepperCase>& param) {
                             return QString(param.param.label).chopped(2).toStdString();
                         });

TEST(StepperTest, ShowsValuesWithoutGroupingInAnyLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Writes<std::int64_t> writes;
    Stepper stepper("Days: ", 0, 100000, writes.writer());
    stepper.showValue(100000);
    EXPECT_EQ(stepper.text(), QStringLiteral("Days: 100000"));
    stepper.showValue(2'500'000);  // out of range in the model: shown at the end, not written back
    EXPECT_EQ(stepper.text(), QStringLiteral("Days: 100000"));
    EXPECT_TRUE(writes.values.empty());
    QLocale::setDefault(previous);
}

TEST(DatePickerTest, ShowsWithoutWritingAndAnEditWritesTheShownMinute) {
    Writes<Date> writes;
    DatePicker picker(writes.writer());
    const Date stored = Date::fromParts(1'699'999'980 + 47, 250'000'000);  // 47.25 s past a minute
    picker.showDate(stored);
    EXPECT_TRUE(writes.values.empty());
    EXPECT_EQ(picker.dateTime().toSecsSinceEpoch(), stored.seconds());

    picker.setFocus();
    picker.setCurrentSection(QDateTimeEdit::MinuteSection);
    QTest::keyClick(&picker, Qt::Key_Up);
    ASSERT_EQ(writes.values.size(), 1u);
    EXPECT_EQ(writes.values[0], Date::fromParts(stored.seconds() - 47 + 60));

    picker.setCurrentSection(QDateTimeEdit::DaySection);
    QTest::keyClick(&picker, Qt::Key_Down);
    ASSERT_EQ(writes.values.size(), 2u);
    EXPECT_EQ(writes.values[1].nanoseconds(), 0);
    EXPECT_EQ(writes.values[1], DatePicker::writtenDate(picker.dateTime()));
    EXPECT_EQ(writes.values[1].seconds() % 60, 0);
}

TEST(DatePickerTest, EachEditIsWrittenAsItIsTypedAndAWholeDateCanBeTypedOrPasted) {
    Writes<Date> writes;
    DatePicker picker(writes.writer());
    picker.showDate(Date::fromParts(1'700'000'000));
    picker.show();
    picker.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    const auto written = [](const QDateTime& time) { return Date::fromParts(time.toSecsSinceEpoch()); };
    picker.setSelectedSection(QDateTimeEdit::YearSection);
    QTest::keyClicks(&picker, "2019");
    ASSERT_FALSE(writes.values.empty());
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(writes.values.back().seconds()).date().year(), 2019);
    writes.values.clear();

    auto* edit = picker.findChild<QLineEdit*>();
    // Typed spaces stand in for the no-break ones a format may have.
    const auto typeOver = [&](QString text) {
        edit->selectAll();
        QTest::keyClicks(&picker, text.replace(QChar(0x202F), u' '));
    };

    // Separators are text here, not moves between fields; nothing is written until the date is whole.
    const QDateTime march(QDate(2019, 3, 15), QTime(14, 30));
    typeOver("2019-03-15 14:30");
    EXPECT_EQ(writes.values, std::vector<Date>({written(march)}));
    EXPECT_EQ(DatePicker::writtenDate(picker.dateTime()), written(march));

    // As the picker shows dates.
    const QDateTime may(QDate(2021, 5, 2), QTime(9, 5));
    typeOver(picker.locale().toString(may, picker.displayFormat()));
    EXPECT_EQ(writes.values.back(), written(may));

    // Pasted as the table shows it, seconds and all, and in ISO 8601 with a zone.
    for (const auto& [text, expected] :
         {std::pair(dateText(Date::fromParts(1'600'000'000)), QDateTime::fromSecsSinceEpoch(1'600'000'000)),
          std::pair(QStringLiteral("2020-01-02T03:04:00Z"),
                    QDateTime(QDate(2020, 1, 2), QTime(3, 4), Qt::UTC))}) {
        QGuiApplication::clipboard()->setText(text);
        edit->selectAll();
        QTest::keyClick(&picker, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(writes.values.back(), DatePicker::writtenDate(expected.toLocalTime()))
            << text.toStdString();
    }

    // What is not a whole date when confirmed is dropped, and the date stays.
    const QDateTime before = picker.dateTime();
    typeOver("2019-03");
    QTest::keyClick(&picker, Qt::Key_Return);
    EXPECT_EQ(picker.dateTime(), before);
    EXPECT_EQ(picker.text(), picker.locale().toString(before, picker.displayFormat()));
    EXPECT_EQ(writes.values.back(), DatePicker::writtenDate(before));
}

}  // namespace
}  // namespace vellumark::toolkit
