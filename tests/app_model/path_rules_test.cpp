#include "app_model/file_collection.h"
#include "app_model/file_date_error.h"
#include "app_model/listed_paths.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace vellumark {
namespace {

struct StandardizeCase {
    const char* input;
    const char* expected;
};

TEST(StandardizedPathTest, RemovesDotComponentsLexically) {
    const StandardizeCase cases[] = {
        {"/a/b/c", "/a/b/c"},
        {"/a/b/../c", "/a/c"},
        {"/a/./b/.", "/a/b"},
        {"/a/b/", "/a/b"},
        {"/a//b///c/", "/a/b/c"},
        {"/a/sub/../file.txt", "/a/file.txt"},
        {"/a/b/../../..", "/"},
        {"/..", "/"},
        {"/../a", "/a"},
        {"/", "/"},
        {"//", "/"},
        {"/a/..b/.c/...", "/a/..b/.c/..."},
        {"a/./b/..", "a"},
        {"a/..", "."},
        {"../a/../..", "../.."},
        {"./a", "a"},
        {"", ""},
        // Bytes that are not UTF-8 pass through untouched.
        {"/x/\xff\xfe/../\xe9t\xe9", "/x/\xe9t\xe9"},
    };
    for (const auto& [input, expected] : cases) {
        EXPECT_EQ(standardizedPath(input).native(), expected) << "input: " << input;
        EXPECT_EQ(standardizedPathBytes(input), expected) << "input: " << input;
    }
}

FileItem listedItem(std::string path, std::optional<ItemIdentity> identity) {
    FileItem item = FileItem::withPath(std::move(path));
    item.identity = identity;
    return item;
}

struct ListingCase {
    FileItem item;
    bool isNew;
    const char* why;
};

TEST(ListedPathsTest, KeepsOneItemPerFileAndPerMissingPath) {
    std::vector<FileItem> list = {
        listedItem("/d/caf\u00e9.txt", ItemIdentity{7, 100, 1}),
        listedItem("/d/gone", std::nullopt),
        listedItem("/fuse/a", ItemIdentity{9, 0, 2}),
    };
    ListedPaths listed([&list](std::size_t position) -> const FileItem& { return list[position]; });
    listed.assign(list.size());
    const ListingCase cases[] = {
        {listedItem("/d/cafe\u0301.txt", ItemIdentity{7, 101, 1}), true, "a decomposed twin is another file"},
        {listedItem("/d/hard link", ItemIdentity{7, 100, 1}), false, "a hard link is the same file"},
        {listedItem("/bind/caf\u00e9.txt", ItemIdentity{7, 100, 5}), false, "the same file, another mount"},
        {listedItem("/d/caf\u00e9.txt", ItemIdentity{8, 100, 1}), true, "the path names another file now"},
        {listedItem("/d/gone", std::nullopt), false, "a missing path compares by its bytes"},
        {listedItem("/d/Gone", std::nullopt), true, "bytes differ"},
        {listedItem("/fuse/a", ItemIdentity{9, 0, 2}), false, "no file number: compared by path"},
        {listedItem("/fuse/b", ItemIdentity{9, 0, 2}), true, "no file number, another path"},
    };
    for (const ListingCase& listing : cases) {
        EXPECT_EQ(listed.insert(listing.item, list.size()), listing.isNew) << listing.why;
        if (listing.isNew) {
            list.push_back(listing.item);
        }
    }
    EXPECT_EQ(listed.size(), list.size());
}

TEST(ListedPathsTest, KeepsEveryItemDistinctThroughGrowth) {
    // Many items, so the table grows several times, the last times into tables cleared aside; each file
    // met again under another name.
    std::vector<FileItem> list;
    ListedPaths listed([&list](std::size_t position) -> const FileItem& { return list[position]; });
    listed.assign(0);
    constexpr std::uint64_t kCount = 100'000;
    for (std::uint64_t i = 0; i < kCount; ++i) {
        FileItem item = listedItem("/d/f" + std::to_string(i), ItemIdentity{1, i + 1, 1});
        ASSERT_TRUE(listed.insert(item, list.size())) << i;
        list.push_back(std::move(item));
        // While a growth is being moved into the larger table, items are found in either.
        ASSERT_FALSE(listed.insert(listedItem("/c/f", ItemIdentity{1, i / 2 + 1, 1}), 0)) << i;
    }
    for (std::uint64_t i = 0; i < kCount; ++i) {
        ASSERT_FALSE(listed.insert(listedItem("/e/f" + std::to_string(i), ItemIdentity{1, i + 1, 1}), 0))
            << i;
    }
    EXPECT_EQ(listed.size(), static_cast<std::size_t>(kCount));
}

struct DescriptionCase {
    const char* url;
    const char* underlying;
    const char* expected;
};

TEST(FileDateErrorTest, DescriptionNamesTheFileInTypographicQuotes) {
    const DescriptionCase cases[] = {
        {"/home/me/notes.txt", "permission denied",
         "Could not change dates for \u201cnotes.txt\u201d: permission denied"},
        {"/home/me/Photos/", "read-only volume",
         "Could not change dates for \u201cPhotos\u201d: read-only volume"},
        {"/", "x", "Could not change dates for \u201c/\u201d: x"},
        {"/d/caf\u00e9 \u2192 1.txt", "x",
         "Could not change dates for \u201ccaf\u00e9 \u2192 1.txt\u201d: x"},
        // A name that is not UTF-8 is shown with a replacement character per broken sequence.
        {"/d/caf\xe9.txt", "x", "Could not change dates for \u201ccaf\ufffd.txt\u201d: x"},
        {"/d/\xe2\x82.\xff", "x", "Could not change dates for \u201c\ufffd.\ufffd\u201d: x"},
        // A name cannot add a line to a report or turn the text around it.
        {"/d/a\nCould not change dates for \u201cb\u202E", "x",
         "Could not change dates for \u201ca\\nCould not change dates for \u201cb\\u202E\u201d: x"},
    };
    for (const auto& [url, underlying, expected] : cases) {
        EXPECT_EQ((FileDateError{url, underlying}.description()), expected) << url;
    }
}

}  // namespace
}  // namespace vellumark
