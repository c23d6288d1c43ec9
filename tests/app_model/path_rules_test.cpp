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

struct EquivalenceCase {
    std::string_view a;
    std::string_view b;
    bool equivalent;
    const char* why;
};

TEST(EquivalentPathsTest, CanonicalEquivalenceIsCaseSensitiveAndBytesForInvalidUtf8) {
    const EquivalenceCase cases[] = {
        {"/d/caf\u00e9.txt", "/d/cafe\u0301.txt", true, "precomposed and decomposed e-acute"},
        {"/d/\u00c5", "/d/\u212b", true, "Angstrom sign is a canonical singleton"},
        {"/d/\uac00", "/d/\u1100\u1161", true, "Hangul syllable and its jamo"},
        {"/d/a\u0323\u0302", "/d/a\u0302\u0323", true, "combining marks in either order"},
        {"/d/e\u0301/x", "/d/\u00e9/x", true, "a decomposed folder name"},
        {"/d/File.txt", "/d/file.txt", false, "case differs"},
        {"/d/\u00e9", "/d/\u00c9", false, "case differs in an accented letter"},
        {"/d/\ufb01le", "/d/file", false, "compatibility ligature is not canonical"},
        {"/d/caf\xe9", "/d/caf\u00e9", false, "Latin-1 byte against UTF-8"},
        {"/d/\xff/e\u0301", "/d/\xff/\u00e9", false, "invalid UTF-8 compares by bytes"},
        {"/d/\xff/e\u0301", "/d/\xff/e\u0301", true, "identical invalid bytes"},
        {"/d/\xed\xa0\x80", "/d/\xed\xa0\x80", true, "an encoded surrogate equals itself"},
        {"/d/a", "/d/a/", false, "trailing separator is not removed here"},
    };
    for (const auto& [a, b, equivalent, why] : cases) {
        EXPECT_EQ(equivalentPaths(a, b), equivalent) << why;
        EXPECT_EQ(equivalentPaths(b, a), equivalent) << why;
        if (equivalent) {
            EXPECT_EQ(equivalentPathHash(a), equivalentPathHash(b)) << why;
        }
    }
}

TEST(ListedPathsTest, FindsEquivalentPathsThroughTheCallersList) {
    std::vector<std::string> list = {"/d/caf\u00e9", "/d/A", "/d/\xff"};
    ListedPaths listed([&list](std::size_t position) -> std::string_view { return list[position]; });
    listed.assign(list.size());

    EXPECT_FALSE(listed.insert("/d/cafe\u0301", list.size()));
    EXPECT_FALSE(listed.insert("/d/\xff", list.size()));
    EXPECT_TRUE(listed.insert("/d/a", list.size()));
    list.push_back("/d/a");
    EXPECT_FALSE(listed.insert("/d/a", list.size()));
    EXPECT_EQ(listed.size(), 4u);
}

TEST(ListedPathsTest, KeepsEveryPathDistinctThroughGrowth) {
    // Many paths, so the table grows several times; each added once plainly and once decomposed.
    std::vector<std::string> list;
    ListedPaths listed([&list](std::size_t position) -> std::string_view { return list[position]; });
    listed.assign(0);
    constexpr int kCount = 20'000;
    for (int i = 0; i < kCount; ++i) {
        const std::string path = "/d/f" + std::to_string(i) + "\u00e9";
        ASSERT_TRUE(listed.insert(path, list.size())) << path;
        list.push_back(path);
    }
    for (int i = 0; i < kCount; ++i) {
        ASSERT_FALSE(listed.insert("/d/f" + std::to_string(i) + "e\u0301", list.size())) << i;
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
    };
    for (const auto& [url, underlying, expected] : cases) {
        EXPECT_EQ((FileDateError{url, underlying}.description()), expected) << url;
    }
}

}  // namespace
}  // namespace vellumark
