#include "ui/app_shell/vellumark_app.h"

#include "ui/main_window/content_view.h"
#include "window_fixture.h"

#include <QMenu>
#include <QMenuBar>

namespace vellumark::testing {
namespace {

class VellumarkAppTest : public ::testing::Test {
protected:
    ContentView& showWindow() {
        ContentView& window = app_.openWindow();
        window.show();
        QApplication::setActiveWindow(&window);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        return window;
    }

    QMenu* fileMenu(ContentView& window) { return window.menuBar()->findChild<QMenu*>("fileMenu"); }

    FakeFileAccess files_;
    ScriptedOpenPanel panel_;
    VellumarkApp app_{files_, panel_, [] { return kNow; }};
};

TEST_F(VellumarkAppTest, OneModelForTheWholeRun) {
    // The command may need the model before any window exists.
    AppModel& first = app_.model();
    EXPECT_EQ(&app_.model(), &first);
    EXPECT_EQ(&app_.openWindow().model(), &first);
    EXPECT_EQ(&app_.openWindow().model(), &first);
}

TEST_F(VellumarkAppTest, TheWindowCannotShrinkBelowItsMinimum) {
    ContentView& window = showWindow();
    EXPECT_EQ(window.minimumSize(), QSize(820, 480));
    window.resize(300, 200);
    settle();
    EXPECT_GE(window.width(), 820);
    EXPECT_GE(window.height(), 480);

    // A larger font, set while the window is open, widens the least size to what the controls need.
    QFont large = window.font();
    large.setPointSizeF(large.pointSizeF() * 2.5);
    window.setFont(large);
    settle();
    EXPECT_GT(window.minimumWidth(), 820);
    EXPECT_GE(window.minimumWidth(), window.centralWidget()->minimumSizeHint().width());
    window.setFont(QFont());
    settle();
    EXPECT_EQ(window.minimumSize(), QSize(820, 480)) << "and shrinks back with the font";
}

TEST_F(VellumarkAppTest, FileMenuOffersAddFilesInsteadOfNew) {
    ContentView& window = showWindow();
    QMenu* file = fileMenu(window);
    ASSERT_NE(file, nullptr);
    ASSERT_FALSE(file->actions().isEmpty());
    QAction* first = file->actions().first();
    EXPECT_EQ(first->text(), "Add Files…");
    EXPECT_EQ(first->shortcut(), QKeySequence(QKeySequence::Open));
    for (QAction* action : window.findChildren<QAction*>()) {
        EXPECT_FALSE(action->shortcuts().contains(QKeySequence(QKeySequence::New)))
            << action->text().toStdString();
    }
}

TEST_F(VellumarkAppTest, CtrlOAddsWhatThePanelReturns) {
    ContentView& window = showWindow();
    files_.addFile("/d/a.txt", pastDates());
    files_.addFolder("/d/f", pastDates());
    panel_.willAnswer(std::vector<std::filesystem::path>{"/d/a.txt", "/d/f"});

    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    settle();
    ASSERT_EQ(panel_.asked.size(), 1u);
    EXPECT_TRUE(panel_.asked[0].canChooseFiles);
    EXPECT_TRUE(panel_.asked[0].canChooseDirectories);
    EXPECT_TRUE(panel_.asked[0].allowsMultipleSelection);
    EXPECT_EQ(listedPaths(app_.model()), (std::vector<std::string>{"/d/a.txt", "/d/f"}));

    panel_.willAnswer(std::nullopt);
    QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    settle();
    EXPECT_EQ(panel_.asked.size(), 2u);
    EXPECT_EQ(app_.model().items().size(), 2u);
}

TEST_F(VellumarkAppTest, CtrlNOpensNothing) {
    ContentView& window = showWindow();
    const auto windowsBefore = QApplication::topLevelWidgets().size();
    QTest::keyClick(&window, Qt::Key_N, Qt::ControlModifier);
    settle();
    EXPECT_EQ(QApplication::topLevelWidgets().size(), windowsBefore);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(panel_.asked.empty());
}

}  // namespace
}  // namespace vellumark::testing
