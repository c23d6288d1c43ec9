#include "ui/app_shell/vellumark_app.h"
#include "ui/bindings/event_loop_hand_back.h"
#include "ui/main_window/content_view.h"
#include "window_fixture.h"

#include <QLabel>
#include <QProgressBar>
#include <QToolBar>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>

namespace vellumark::testing {
namespace {

// Runs the event loop until `done` holds, as the window would between inputs.
bool spinUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    settle();
    return true;
}

TEST(BackgroundWindowTest, AHeldRunShowsProgressAndCancelLocksTheControlsAndAsksBeforeClosing) {
    FakeFileAccess files;
    ScriptedOpenPanel panel;
    std::vector<std::filesystem::path> urls;
    for (const char* name : {"/d/a", "/d/b", "/d/c", "/d/d"}) {
        files.addFile(name, pastDates());
        urls.emplace_back(name);
    }
    std::promise<void> release;
    std::once_flag released;
    const auto releaseOnce = [&] { std::call_once(released, [&] { release.set_value(); }); };
    std::atomic<bool> held = false;
    std::atomic<int> writes = 0;
    files.duringWrite = [&] {
        if (writes++ == 1) {
            held = true;
            release.get_future().wait();
        }
    };
    VellumarkApp app(
        files, panel, [] { return kNow; }, bindings::eventLoopHandBack());
    // A failed check must not leave the worker held: closing waits for it.
    const std::shared_ptr<void> releaseAtEnd(nullptr, [&](void*) { releaseOnce(); });
    ContentView& window = app.openWindow();
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    AppModel& model = window.model();
    model.addURLs(urls);
    ASSERT_TRUE(spinUntil([&] { return !model.isBusy(); }));
    model.editConfig([](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.fields = DateFieldSelection::modification;
        config.shiftHours = 1;
    });

    model.applyChanges();
    ASSERT_TRUE(spinUntil([&] { return held.load(); }));

    auto* progress = window.findChild<QProgressBar*>("progressIndicator");
    auto* count = window.findChild<QLabel*>("countLabel");
    auto* toolbar = window.findChild<QToolBar*>("toolbar");
    auto* cancel = window.findChild<QAction*>("cancelAction");
    EXPECT_TRUE(progress->isVisible());
    EXPECT_EQ(progress->maximum(), 4);
    EXPECT_TRUE(count->text().startsWith("Applying… ")) << count->text().toStdString();
    EXPECT_TRUE(toolbar->widgetForAction(cancel)->isVisible());
    for (const char* name : {"addAction", "removeAction", "clearAction", "performAction"}) {
        EXPECT_FALSE(window.findChild<QAction*>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(window.findChild<QWidget*>("actionPanel")->isEnabled());
    window.addFiles();
    EXPECT_EQ(count->text(), "Items can be added when the dates have been changed.");

    window.close();
    settle();
    QMessageBox* question = modalBox("closeQuestion");
    ASSERT_NE(question, nullptr);
    buttonWithText(*question, "Continue")->click();
    settle();
    EXPECT_TRUE(window.isVisible());

    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Escape);
    releaseOnce();
    ASSERT_TRUE(spinUntil([&] { return !model.isBusy(); }));

    EXPECT_EQ(model.lastResult()->succeeded, 2);
    EXPECT_EQ(model.lastResult()->notAttempted, 2);
    QMessageBox* result = modalBox("resultAlert");
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(result->text(), "Cancelled");
    EXPECT_FALSE(progress->isVisible());
    EXPECT_TRUE(window.findChild<QWidget*>("actionPanel")->isEnabled());
}

}  // namespace
}  // namespace vellumark::testing
