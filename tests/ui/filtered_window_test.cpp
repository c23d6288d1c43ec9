// The window's count line while the list's filter hides items.
#include "ui/file_table/file_table_model.h"
#include "ui/file_table/file_table_view.h"
#include "ui/main_window/content_view.h"
#include "window_fixture.h"

#include <QLabel>
#include <QLineEdit>

namespace vellumark::testing {
namespace {

TEST(FilteredWindowTest, TheCountLineSaysHowManyItemsTheFilterHides) {
    FakeFileAccess files;
    ScriptedOpenPanel panel;
    AppModel model(files, panel, [] { return kNow; });
    std::vector<std::filesystem::path> urls;
    for (const char* path : {"/d/IMG_1.jpg", "/d/img_2.jpg", "/d/notes.txt", "/d/map.pdf"}) {
        files.addFile(path, pastDates());
        urls.emplace_back(path);
    }
    model.addURLs(urls);
    ContentView window(model, panel);
    window.show();
    settle();
    const auto* count = window.findChild<QLabel*>("countLabel");
    auto* list = window.findChild<file_table::FileTableView*>();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(count->text(), "4 of 4 will change");

    QTest::keyClicks(&list->filterField(), "img");
    EXPECT_TRUE(processEventsUntil([&] { return list->tableModel().showsOrder(); }));
    settle();
    EXPECT_EQ(list->tableModel().rowCount(), 2);
    EXPECT_EQ(count->text(), "4 of 4 will change \u00b7 2 hidden by the filter");

    list->filterField().clear();
    settle();
    EXPECT_EQ(count->text(), "4 of 4 will change");
}

}  // namespace
}  // namespace vellumark::testing
