#include "ui/toolkit/drop_destination.h"

#include "qt_test_support.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellumark::toolkit {
namespace {

using Paths = std::vector<std::filesystem::path>;

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
    const QByteArray bytes(param.uriList.data(), static_cast<qsizetype>(param.uriList.size()));
    EXPECT_EQ(fileURLsFromUriList(bytes), param.expected);
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
        UriListCase{"fragmentIsNotPartOfThePath", "file:///tmp/a%23b.txt#frag\r\n", {"/tmp/a#b.txt"}},
        UriListCase{"noFinalLineBreakAndLoneEscape", "file:///tmp/100%", {"/tmp/100%"}},
        UriListCase{"empty", "", {}}),
    [](const ::testing::TestParamInfo<UriListCase>& param) { return std::string(param.param.name); });

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
