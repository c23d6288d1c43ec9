#include "app_model/file_collection.h"

#include "app_model/app_model.h"
#include "linux_fs/linux_file_access.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"
#include "temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vellumark {
namespace {

using ::testing::ElementsAre;
using testing::FakeFileAccess;
using testing::ScriptedOpenPanel;
using testing::TempFolder;
using ::testing::UnorderedElementsAreArray;
using Paths = std::vector<std::filesystem::path>;

class FileCollectionTest : public ::testing::Test {
protected:
    FileCollectionTest() : model_(files_, panel_) {}

    void add(const Paths& urls) { model_.addURLs(urls); }

    void includeSubfolderContents(bool on) {
        model_.editConfig([on](ActionConfig& config) { config.includeSubfolderContents = on; });
    }

    // Listed paths relative to the temporary folder.
    std::vector<std::string> listed() const {
        std::vector<std::string> paths;
        for (const FileItem& item : model_.items()) {
            paths.push_back(item.url().lexically_relative(temp_.path()).native());
        }
        return paths;
    }

    TempFolder temp_;
    LinuxFileAccess files_;
    ScriptedOpenPanel panel_;
    AppModel model_;
};

TEST_F(FileCollectionTest, TheSameFileIsListedOnceAndKeepsItsFirstPlace) {
    const auto a = temp_.file("a.txt");
    const auto b = temp_.file("b.txt");
    const auto c = temp_.file("c.txt");

    add({a, b, a});
    add({c, b, a});

    EXPECT_THAT(listed(), ElementsAre("a.txt", "b.txt", "c.txt"));
}

TEST_F(FileCollectionTest, APathThroughDotDotIsTheSameItemAndIsListedStandardized) {
    const auto file = temp_.file("dir/a.txt");
    temp_.folder("dir/sub");

    add({temp_.path() / "dir/sub/../a.txt", file, temp_.path() / "dir/./a.txt", temp_.path() / "dir//a.txt"});

    ASSERT_EQ(model_.items().size(), 1u);
    EXPECT_EQ(model_.items()[0].url(), file);
    EXPECT_EQ(model_.items()[0].modificationDate, TempFolder::modification(file));
}

TEST_F(FileCollectionTest, NamesThatAreNotUtf8AreListedAndComparedByTheirBytes) {
    const auto latin1 = temp_.file("caf\xe9.txt", Date::fromParts(1'234'567'890, 5));
    const auto utf8 = temp_.file("caf\u00e9.txt");

    add({latin1, utf8, latin1});

    ASSERT_EQ(model_.items().size(), 2u);
    EXPECT_EQ(model_.items()[0].path(), latin1.native());
    EXPECT_EQ(model_.items()[0].modificationDate, Date::fromParts(1'234'567'890, 5));
    EXPECT_EQ(model_.items()[1].path(), utf8.native());
}

TEST_F(FileCollectionTest, AFolderWithoutItsContentsIsOneItemWithItsOwnDates) {
    temp_.file("photos/1.jpg");
    const auto folder = temp_.folder("photos");
    TempFolder::setModification(folder, Date::fromParts(1'000'000'000, 250));

    add({folder});

    ASSERT_EQ(model_.items().size(), 1u);
    EXPECT_TRUE(model_.items()[0].isDirectory);
    EXPECT_EQ(model_.items()[0].modificationDate, Date::fromParts(1'000'000'000, 250));
}

TEST_F(FileCollectionTest, AFolderWithItsContentsListsItselfThenVisibleDescendantsDepthFirst) {
    temp_.file("root/a.txt");
    temp_.file("root/sub/b.txt");
    temp_.file("root/sub/deeper/c.txt");
    temp_.file("root/sub/.hidden.txt");
    temp_.file("root/.secret/inside.txt");
    temp_.file("root/.secret/more/deep.txt");
    temp_.file("root/App.app/Contents/Info.plist");
    includeSubfolderContents(true);

    add({temp_.path() / "root"});

    const std::vector<std::string> paths = listed();
    ASSERT_FALSE(paths.empty());
    EXPECT_EQ(paths.front(), "root");
    EXPECT_THAT(paths,
                UnorderedElementsAreArray({"root", "root/a.txt", "root/sub", "root/sub/b.txt",
                                           "root/sub/deeper", "root/sub/deeper/c.txt", "root/App.app",
                                           "root/App.app/Contents", "root/App.app/Contents/Info.plist"}));
    // Each folder comes before its contents, and a folder's contents are not split by a sibling's.
    const auto at = [&paths](const std::string& p) {
        return std::find(paths.begin(), paths.end(), p) - paths.begin();
    };
    EXPECT_LT(at("root/sub"), at("root/sub/b.txt"));
    EXPECT_LT(at("root/sub/deeper"), at("root/sub/deeper/c.txt"));
    EXPECT_LT(at("root/App.app/Contents"), at("root/App.app/Contents/Info.plist"));
    const auto subEnd = std::max({at("root/sub/b.txt"), at("root/sub/deeper/c.txt")});
    EXPECT_EQ(subEnd - at("root/sub"), 3);
}

TEST_F(FileCollectionTest, ReAddingAListedFolderWithContentsAddsOnlyTheContents) {
    const auto folder = temp_.folder("root");
    temp_.file("root/a.txt");
    temp_.file("root/sub/b.txt");
    add({folder});
    includeSubfolderContents(true);
    ASSERT_THAT(listed(), ElementsAre("root"));  // turning the option on expands nothing by itself

    add({folder});

    const std::vector<std::string> paths = listed();
    EXPECT_EQ(std::count(paths.begin(), paths.end(), "root"), 1);
    EXPECT_EQ(paths.front(), "root");
    EXPECT_THAT(paths, UnorderedElementsAreArray({"root", "root/a.txt", "root/sub", "root/sub/b.txt"}));
}

TEST_F(FileCollectionTest, AFileGivenWithContentsOnIsListedAlone) {
    const auto file = temp_.file("a.txt");
    includeSubfolderContents(true);

    add({file});

    EXPECT_THAT(listed(), ElementsAre("a.txt"));
    EXPECT_FALSE(model_.items()[0].isDirectory);
}

TEST_F(FileCollectionTest, AVanishedFileIsListedWithAbsentDates) {
    const auto file = temp_.file("gone/a.txt");
    std::filesystem::remove_all(temp_.path() / "gone");
    includeSubfolderContents(true);

    add({file, temp_.path() / "gone"});

    ASSERT_EQ(model_.items().size(), 2u);
    for (const FileItem& item : model_.items()) {
        EXPECT_EQ(item.creationDate, std::nullopt);
        EXPECT_EQ(item.modificationDate, std::nullopt);
        EXPECT_FALSE(item.isDirectory);
    }
}

TEST_F(FileCollectionTest, CollectItemsAndAddURLsAgree) {
    const auto folder = temp_.folder("root");
    const auto a = temp_.file("root/a.txt");
    temp_.file("root/sub/b.txt");
    const auto other = temp_.file("other.txt");
    add({a});
    const std::vector<FileItem> current(model_.items().begin(), model_.items().end());
    const Paths urls{other, temp_.path() / "root/sub/.." / "a.txt", folder, other};

    const std::vector<FileItem> collected = collectItems(files_, current, urls, true);
    includeSubfolderContents(true);
    add(urls);

    ASSERT_EQ(collected.size() + current.size(), model_.items().size());
    for (std::size_t i = 0; i < collected.size(); ++i) {
        EXPECT_EQ(collected[i].path(), model_.items()[current.size() + i].path());
        EXPECT_NE(collected[i].id(), model_.items()[current.size() + i].id());
    }
}

TEST(ExpandURLsTest, ListsEachURLUnchangedAndFollowsFoldersOnlyWhenAsked) {
    TempFolder temp;
    LinuxFileAccess files;
    temp.file("root/a.txt");
    const Paths urls{temp.path() / "root/", temp.path() / "root/./a.txt"};

    EXPECT_EQ(expandURLs(files, urls, false), urls);
    const Paths expanded = expandURLs(files, urls, true);
    ASSERT_EQ(expanded.size(), 3u);
    EXPECT_EQ(expanded[0], urls[0]);
    EXPECT_EQ(standardizedPath(expanded[1]), temp.path() / "root/a.txt");
    EXPECT_EQ(expanded[2], urls[1]);
}

// What a real file system does not produce on demand.

TEST(FileCollectionFaultTest, AFolderThatCannotBeEnumeratedIsListedAlone) {
    FakeFileAccess files;
    files.addFolder("/locked");
    files.addFile("/locked/a.txt");
    files.failEnumerating("/locked");

    const std::vector<FileItem> items = collectItems(files, {}, Paths{"/locked"}, true);

    ASSERT_EQ(items.size(), 1u);
    EXPECT_TRUE(items[0].isDirectory);
}

TEST(FileCollectionFaultTest, UnreadableAttributesGiveAbsentDatesButKeepTheFolderFlag) {
    FakeFileAccess files;
    files.addFolder("/f", std::nullopt);

    const ReadDates dates = readDates(files, "/f");

    EXPECT_EQ(dates.creationDate, std::nullopt);
    EXPECT_EQ(dates.modificationDate, std::nullopt);
    EXPECT_TRUE(dates.isDirectory);
}

TEST(FileCollectionFaultTest, ReadingAMissingItemAsksNothingMore) {
    FakeFileAccess files;

    EXPECT_EQ(readDates(files, "/missing").isDirectory, false);
    EXPECT_EQ(files.existenceTests, 1);
    EXPECT_EQ(files.attributeReads, 0);
}

// Which file a path names decides whether it is listed already, so a duplicate costs a look too.
TEST(FileCollectionFaultTest, EachPathCostsOneLook) {
    FakeFileAccess files;
    files.addFile("/a");
    files.addFile("/b");
    const std::vector<FileItem> current{FileItem(std::filesystem::path("/a"))};

    const std::vector<FileItem> items =
        collectItems(files, current, Paths{"/a", "/b", "/x/../b", "/c"}, false);

    EXPECT_EQ(items.size(), 2u);
    EXPECT_EQ(files.existenceTests, 4);
    EXPECT_EQ(files.attributeReads, 3);  // "/c" does not exist
}

TEST(AddPanelTest, OffersFilesAndFoldersSeveralAtOnceWithItsMessage) {
    ScriptedOpenPanel panel;
    panel.willAnswer(Paths{"/a", "/b"});

    EXPECT_EQ(runAddPanel(panel), (Paths{"/a", "/b"}));

    ASSERT_EQ(panel.asked.size(), 1u);
    EXPECT_TRUE(panel.asked[0].canChooseFiles);
    EXPECT_TRUE(panel.asked[0].canChooseDirectories);
    EXPECT_TRUE(panel.asked[0].allowsMultipleSelection);
    EXPECT_EQ(panel.asked[0].message, "Choose files or folders whose dates you want to change.");
}

TEST(AddPanelTest, ShowAddPanelAddsWhatWasChosenAndNothingWhenCancelled) {
    TempFolder temp;
    LinuxFileAccess files;
    ScriptedOpenPanel panel;
    AppModel model(files, panel);
    int notifications = 0;
    auto counting = model.objectWillChange().subscribe([&] { ++notifications; });

    model.showAddPanel();
    EXPECT_EQ(notifications, 0);

    panel.willAnswer(Paths{temp.file("a.txt"), temp.file("b.txt")});
    model.showAddPanel();
    EXPECT_EQ(model.items().size(), 2u);
    EXPECT_EQ(notifications, 1);  // one batch
}

}  // namespace
}  // namespace vellumark
