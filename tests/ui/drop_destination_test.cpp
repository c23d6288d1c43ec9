#include "ui/toolkit/drop_destination.h"

#include "qt_test_support.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::toolkit {
namespace {

using Paths = std::vector<std::filesystem::path>;
using namespace std::string_literals;

struct UriListCase {
    const char* name;
    std::string uriList;
    Paths expected;
};

void PrintTo(const UriListCase& param, std::ostream* out) {
    *out << param.name;
}

class UriListTest : public ::testing::TestWithParam<UriListCase> {};

TEST_P(UriListTest, DecodesLocalFilePathsInOrder) {
    const UriListCase& param = GetParam();
    EXPECT_EQ(fileURLsFromUriList(param.uriList), param.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UriListTest,
    ::testing::Values(
        UriListCase{
            "twoInDeliveryOrder", "file:///tmp/b.txt\r\nfile:///tmp/a.txt\r\n", {"/tmp/b.txt", "/tmp/a.txt"}},
        UriListCase{"escapesBecomeBytes", "file:///tmp/two%20words%25.txt\r\n", {"/tmp/two words%.txt"}},
        UriListCase{"latin1NameSurvives", "file:///tmp/caf%E9.txt\r\n", {"/tmp/caf\xE9.txt"}},
        UriListCase{"invalidUtf8Bytes", "file:///tmp/%FF%FE%C3(\r\n", {"/tmp/\xFF\xFE\xC3("}},
        UriListCase{"rawUtf8Kept", "file:///tmp/\xC3\xA9t\xC3\xA9\r\n", {"/tmp/\xC3\xA9t\xC3\xA9"}},
        UriListCase{"localhostAndShortForm", "file://localhost/tmp/x\nFILE:/tmp/y\n", {"/tmp/x", "/tmp/y"}},
        UriListCase{"commentsOtherSchemesAndHostsSkipped",
                    "# dragged from somewhere\r\nhttps://example.org/a\r\nfile://server/share/b\r\n"
                    "file:///tmp/kept\r\n\r\n",
                    {"/tmp/kept"}},
        UriListCase{"everyLineEnding",
                    "file:///crlf\r\nfile:///lf\nfile:///cr\rfile:///lfcr\n\rfile:///last",
                    {"/crlf", "/lf", "/cr", "/lfcr", "/last"}},
        UriListCase{"queryOrFragmentSkipsTheLine",
                    "file:///tmp/a.txt?x\r\nfile:///tmp/a#b.txt\r\nfile:///tmp/a%3F%23b.txt\r\n",
                    {"/tmp/a?#b.txt"}},
        UriListCase{
            "nulOrEscapedSlashSkipsTheLine", "file:///tmp/a%00b\nfile:///tmp/a%2fb\nfile:///a\0b\n"s, {}},
        UriListCase{"spaceAfterTheUrlIsPartOfTheName", "  file:///tmp/a \t\r\n", {"/tmp/a \t"}},
        UriListCase{"noFinalLineBreakAndLoneEscape", "file:///tmp/100%", {"/tmp/100%"}},
        UriListCase{"empty", "", {}}),
    [](const ::testing::TestParamInfo<UriListCase>& param) { return std::string(param.param.name); });

// What a line's path stands for, written apart from the decoder under test: each "%XX" is the byte 0xXX.
std::string bytesOf(std::string_view path) {
    std::string bytes;
    for (std::size_t i = 0; i < path.size(); ++i) {
        unsigned value = 0;
        const char* digits = path.data() + i + 1;
        if (path[i] == '%' && i + 2 < path.size() &&
            std::from_chars(digits, digits + 2, value, 16).ptr == digits + 2) {
            bytes += static_cast<char>(value);
            i += 2;
        } else {
            bytes += path[i];
        }
    }
    return bytes;
}

// What any uri-list must give, however malformed: absolute paths without NUL, each exactly the bytes of
// the path part of a later line than the one before, never from a line with a query or fragment.
std::string violationIn(std::string_view uriList, const Paths& paths) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start <= uriList.size();) {
        const std::size_t end = std::min(uriList.find_first_of("\r\n", start), uriList.size());
        lines.push_back(uriList.substr(start, end - start));
        start = end + 1;
    }
    std::size_t line = 0;
    for (const std::filesystem::path& path : paths) {
        const std::string& bytes = path.native();
        if (!path.is_absolute() || bytes.find('\0') != std::string::npos) {
            return "malformed path " + ::testing::PrintToString(bytes);
        }
        const auto names = [&bytes](std::string_view text) {
            if (text.find_first_of("?#") != std::string_view::npos) {
                return false;
            }
            for (std::size_t slash = text.find('/'); slash != std::string_view::npos;
                 slash = text.find('/', slash + 1)) {
                if (bytesOf(text.substr(slash)) == bytes) {
                    return true;
                }
            }
            return false;
        };
        while (line < lines.size() && !names(lines[line])) {
            ++line;
        }
        if (line++ == lines.size()) {
            return "no line names " + ::testing::PrintToString(bytes);
        }
    }
    return {};
}

struct GeneratedList {
    std::string uriList;
    Paths expected;
};

// A well-formed uri-list of every kind of line and line end, with the paths its file lines name: name
// bytes of any value, sent escaped or raw where a raw byte is allowed.
GeneratedList randomUriList(std::mt19937& random) {
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    const std::vector<std::string> lineEnds = {"\r\n", "\n", "\r", "\n\r"};
    const std::vector<std::string> starts = {"file://", "file://localhost", "FILE://", "file:"};
    const std::vector<std::string> others = {"# a comment", "https://example.org/a", "file://server/a", ""};
    GeneratedList list;
    for (std::size_t lineCount = pick(6); lineCount > 0; --lineCount) {
        if (pick(3) == 0) {
            list.uriList += others[pick(others.size())] + lineEnds[pick(lineEnds.size())];
            continue;
        }
        std::string url = starts[pick(starts.size())];
        std::string path;
        for (std::size_t part = 1 + pick(3); part > 0; --part) {
            url += '/';
            path += '/';
            for (std::size_t length = 1 + pick(8); length > 0; --length) {
                char byte = static_cast<char>(1 + pick(255));
                byte = byte == '/' ? '_' : byte;
                path += byte;
                if (std::string_view("%?#\r\n").find(byte) == std::string_view::npos && pick(2) == 0) {
                    url += byte;
                } else {
                    const char* digits = pick(2) == 0 ? "0123456789ABCDEF" : "0123456789abcdef";
                    const auto value = static_cast<unsigned char>(byte);
                    url += {'%', digits[value / 16], digits[value % 16]};
                }
            }
        }
        if (pick(4) == 0) {
            url += pick(2) == 0 ? "?q=1" : "#top";
        } else {
            list.expected.push_back(path);
        }
        list.uriList += url + lineEnds[pick(lineEnds.size())];
    }
    return list;
}

TEST(UriListFuzz, GivesExactlyTheNamedPathsAndNothingCutFromMangledLists) {
    std::mt19937 random(0x5eed);
    const auto pick = [&random](std::size_t count) {
        return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
    };
    const std::string_view likelyTroubles("\r\n?#%/\0 F", 9);
    for (int round = 0; round < 40'000; ++round) {
        GeneratedList list = randomUriList(random);
        ASSERT_EQ(fileURLsFromUriList(list.uriList), list.expected) << ::testing::PrintToString(list.uriList);

        for (std::size_t edits = 1 + pick(4); edits > 0; --edits) {
            const std::size_t at = pick(list.uriList.size() + 1);
            const char byte =
                pick(2) == 0 ? likelyTroubles[pick(likelyTroubles.size())] : static_cast<char>(pick(256));
            if (at == list.uriList.size() || pick(2) == 0) {
                list.uriList.insert(at, 1, byte);
            } else if (pick(2) == 0) {
                list.uriList[at] = byte;
            } else {
                list.uriList.erase(at, 1);
            }
        }
        ASSERT_EQ(violationIn(list.uriList, fileURLsFromUriList(list.uriList)), "")
            << ::testing::PrintToString(list.uriList);
    }
}

TEST(DropDestinationTest, ReportsTargetingAndHandsOverTheRawPaths) {
    QWidget window;
    window.resize(200, 100);
    std::vector<bool> targeted;
    std::vector<Paths> drops;
    DropDestination destination(
        window, [&](bool on) { targeted.push_back(on); },
        [&](Paths paths) { drops.push_back(std::move(paths)); });
    EXPECT_TRUE(window.acceptDrops());

    QMimeData data;
    data.setData(QStringLiteral("text/uri-list"), QByteArray("file:///tmp/caf%E9\r\nfile:///tmp/b\r\n"));
    const QPoint inside(50, 50);
    QDragEnterEvent enter(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(destination.isTargeted());

    QDropEvent drop(QPointF(inside), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    EXPECT_TRUE(drop.isAccepted());
    EXPECT_EQ(targeted, std::vector<bool>({true, false}));
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_EQ(drops[0], Paths({"/tmp/caf\xE9", "/tmp/b"}));
}

TEST(DropDestinationTest, IgnoresDragsWithoutUrlsAndUntargetsOnLeave) {
    QWidget window;
    std::vector<bool> targeted;
    DropDestination destination(
        window, [&](bool on) { targeted.push_back(on); }, [](Paths) {});

    QMimeData text;
    text.setText(QStringLiteral("just words"));
    QDragEnterEvent plain(QPoint(1, 1), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &plain);
    EXPECT_FALSE(plain.isAccepted());
    EXPECT_TRUE(targeted.empty());

    QMimeData files;
    files.setData(QStringLiteral("text/uri-list"), QByteArray("file:///tmp/a\r\n"));
    QDragEnterEvent enter(QPoint(1, 1), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    QDragLeaveEvent leave;
    QCoreApplication::sendEvent(&window, &leave);
    EXPECT_EQ(targeted, std::vector<bool>({true, false}));
}

}  // namespace
}  // namespace vellumark::toolkit
