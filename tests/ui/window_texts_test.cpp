#include "ui/main_window/window_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumark {
namespace {

std::vector<std::string> errorTexts(int count) {
    std::vector<std::string> errors;
    for (int i = 1; i <= count; ++i) {
        errors.push_back("e" + std::to_string(i));
    }
    return errors;
}

struct SummaryCase {
    std::int64_t succeeded;
    std::int64_t failed;
    std::string summary;
    QString title;
};

TEST(ResultSummary, FollowsTheTableOfOutcomes) {
    const std::vector<SummaryCase> cases = {
        {0, 0, "0 items changed.", "Done"},
        {1, 0, "1 item changed.", "Done"},
        {12, 0, "12 items changed.", "Done"},
        {2, 1, "2 items changed.\n1 failed.\ne1", "Completed with errors"},
        {0, 2, "0 items changed.\n2 failed.\ne1\ne2", "Completed with errors"},
        {1, 5, "1 item changed.\n5 failed.\ne1\ne2\ne3\ne4\ne5", "Completed with errors"},
        {4, 7, "4 items changed.\n7 failed.\ne1\ne2\ne3\ne4\ne5", "Completed with errors"},
        {123456, 0, "123456 items changed.", "Done"},
    };
    for (const SummaryCase& row : cases) {
        ProcessResult result;
        result.succeeded = row.succeeded;
        result.failed = row.failed;
        result.errors = errorTexts(static_cast<int>(row.failed));
        SCOPED_TRACE(row.summary);
        EXPECT_EQ(resultSummary(result), row.summary);
        EXPECT_EQ(resultTitle(result), row.title);
    }
}

TEST(ResultSummary, KeepsErrorTextsAsTheyAre) {
    ProcessResult result;
    result.failed = 1;
    result.errors = {"Could not change dates for \u201c<b>x</b>.txt\u201d: Permission denied"};
    EXPECT_EQ(resultSummary(result),
              "0 items changed.\n1 failed.\nCould not change dates for \u201c<b>x</b>.txt\u201d: Permission "
              "denied");
}

TEST(ResultSummary, ShowsEveryErrorOnItsOwnLineWhateverItHolds) {
    ProcessResult result;
    result.failed = 2;
    result.errors = {"Could not change dates for \u201ca\n3 items changed.\u201d: x", "y\x1b[2J"};
    result.failedItems = {{Uuid::random(), "x"}, {Uuid::random(), "y\x1b[2J"}};
    EXPECT_EQ(resultSummary(result),
              "0 items changed.\n2 failed.\nCould not change dates for \u201ca\\n3 items changed.\u201d: x\n"
              "y\\u001B[2J");
    EXPECT_EQ(resultDetails(result),
              "Could not change dates for \u201ca\\n3 items changed.\u201d: x\ny\\u001B[2J");

    // A reason shared by several items is shown once, escaped alike.
    result.errors.push_back("z");
    result.failedItems.push_back({Uuid::random(), "y\x1b[2J"});
    result.failed = 3;
    EXPECT_TRUE(resultSummary(result).ends_with("\n2 items: y\\u001B[2J")) << resultSummary(result);
}

TEST(ResultSummary, CountsFailuresThatShareAReasonOnOneLine) {
    ProcessResult result;
    result.succeeded = 3;
    result.keptCreation = {{"ext4", 3}, {"", 1}};
    for (const std::string reason : {"A", "B", "A", "C", "D", "E", "F", "A"}) {
        result.errors.push_back("Could not change dates for \u201cx\u201d: " + reason);
        result.failedItems.push_back({Uuid::random(), reason});
    }
    result.failed = static_cast<std::int64_t>(result.errors.size());
    EXPECT_EQ(resultSummary(result),
              "3 items changed.\n"
              "Creation dates cannot be changed on ext4 and stay as they are on 3 items.\n"
              "Creation dates cannot be changed on this file system and stay as they are on 1 item.\n"
              "8 failed.\n3 items: A\n"
              "Could not change dates for \u201cx\u201d: B\n"
              "Could not change dates for \u201cx\u201d: C\n"
              "Could not change dates for \u201cx\u201d: D\n"
              "Could not change dates for \u201cx\u201d: E");
    EXPECT_EQ(resultDetails(result).count('\n'), 7);
}

TEST(WindowTexts, ConfirmationMessageAddsWhatVolumesKeepAndRefuse) {
    const QString warning = "This will modify file dates on disk. This cannot be undone.";
    EXPECT_EQ(confirmationMessage(PlanSummary{5, 1, {{"ext4", 1}}}),
              warning +
                  "\n\nCreation dates cannot be changed on ext4 and stay as they are on 1 item.\n"
                  "1 item has a date that cannot be stored; it will be reported as failed.");
    EXPECT_EQ(confirmationMessage(PlanSummary{5, 3, {{"ext4", 24}, {"xfs", 2}}}),
              warning +
                  "\n\nCreation dates cannot be changed on ext4 and stay as they are on 24 items.\n"
                  "Creation dates cannot be changed on xfs and stay as they are on 2 items.\n"
                  "3 items have dates that cannot be stored; they will be reported as failed.");
}

TEST(WindowTexts, ConfirmationTitleIsSingularOnlyForOne) {
    EXPECT_EQ(confirmationTitle(1), "Apply changes to 1 item?");
    EXPECT_EQ(confirmationTitle(0), "Apply changes to 0 items?");
    EXPECT_EQ(confirmationTitle(3), "Apply changes to 3 items?");
    EXPECT_EQ(confirmationTitle(21), "Apply changes to 21 items?");
    EXPECT_EQ(confirmationTitle(1234567), "Apply changes to 1234567 items?");
}

TEST(WindowTexts, CountTextUsesPlainIntegers) {
    EXPECT_EQ(countText(0, 0), "0 of 0 will change");
    EXPECT_EQ(countText(1, 3), "1 of 3 will change");
    EXPECT_EQ(countText(12345, 100000), "12345 of 100000 will change");
}

}  // namespace
}  // namespace vellumark
