#include "app_model/visible_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace vellumark {
namespace {

TEST(VisibleTextTest, EscapesWhatWouldBreakMoveOrHideText) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"a\nb\r\tc", "a\\nb\\r\\tc"},
        {"\x1b[31mred\x7f", "\\u001B[31mred\\u007F"},
        {"\xc2\x80\xc2\x9f\xc2\xa0", "\\u0080\\u009F\u00a0"},  // C1 controls; no-break space stays
        {"\u061C\u200E\u200F\u202A\u202E\u2066\u2069", "\\u061C\\u200E\\u200F\\u202A\\u202E\\u2066\\u2069"},
        {"\u2028\u2029", "\\u2028\\u2029"},
        {"\u200D\u202F\u2070\u00e9t\u00e9 \U0001F600", "\u200D\u202F\u2070\u00e9t\u00e9 \U0001F600"},
        {"back\\slash\\n", "back\\slash\\n"},
        {"caf\xe9\xc2", "caf\ufffd\ufffd"},
        {std::string_view("\0", 1), "\\u0000"},
    };
    for (const auto& [bytes, shown] : cases) {
        EXPECT_EQ(visibleText(bytes), shown) << bytes;
        EXPECT_EQ(visibleText(shown), shown) << "shown again: " << shown;
    }
    std::string report = "1: ";
    appendVisibleText(report, "a\nb");
    EXPECT_EQ(report, "1: a\\nb");
}

}  // namespace
}  // namespace vellumark
