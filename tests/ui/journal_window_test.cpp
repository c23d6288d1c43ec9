// Undo, Redo, History and recovery through the window, on real files and a real journal.
#include "../app_model/temp_folder.h"
#include "journal/sqlite_run_journal.h"
#include "linux_fs/linux_file_access.h"
#include "ui/app_shell/vellumark_app.h"
#include "ui/main_window/content_view.h"
#include "window_fixture.h"

#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>

#include <fstream>

namespace vellumark::testing {
namespace {

const Date kBefore = Date::fromParts(1'500'000'000, 250'000'000);

class JournalWindowTest : public ::testing::Test {
protected:
    JournalWindowTest() {
        for (const char* name : {"a.txt", "b.txt"}) {
            paths_.push_back(folder_.file(name, kBefore));
        }
    }

    ContentView& showWindow(RunJournal& journal) {
        app_ = std::make_unique<VellumarkApp>(files_, panel_, systemClock(), HandBack{}, &journal);
        ContentView& window = app_->openWindow();
        window.show();
        AppModel& model = app_->model();
        model.addURLs(paths_);
        ActionConfig config = model.config();
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
        model.setConfig(config);
        settle();
        return window;
    }

    static QAction* action(ContentView& window, const char* name) { return window.findChild<QAction*>(name); }

    void answer(const char* dialog, const char* button) {
        settle();
        QMessageBox* box = modalBox(dialog);
        ASSERT_NE(box, nullptr) << dialog;
        buttonWithText(*box, button)->click();
        settle();
    }

    TempFolder folder_;
    std::vector<std::filesystem::path> paths_;
    LinuxFileAccess files_;
    ScriptedOpenPanel panel_;
    SqliteRunJournal journal_{(folder_.path() / "journal.sqlite3").native()};
    std::unique_ptr<VellumarkApp> app_;
};

TEST_F(JournalWindowTest, TheEditMenuUndoesAndRedoesTheLastRunByName) {
    ContentView& window = showWindow(journal_);
    EXPECT_FALSE(action(window, "undoAction")->isEnabled());
    app_->model().applyChanges();
    answer("resultAlert", "OK");
    ASSERT_TRUE(action(window, "undoAction")->isEnabled());
    EXPECT_EQ(action(window, "undoAction")->text(), "Undo “Add / remove time”");
    EXPECT_EQ(action(window, "undoAction")->shortcut(), QKeySequence(QKeySequence::Undo));

    action(window, "undoAction")->trigger();
    settle();
    ASSERT_NE(modalBox("restoreConfirmation"), nullptr);
    EXPECT_EQ(modalBox("restoreConfirmation")->text(), "Undo “Add / remove time” on 2 items?");
    answer("restoreConfirmation", "Undo");
    EXPECT_EQ(TempFolder::modification(paths_[0]), kBefore);
    answer("resultAlert", "OK");
    EXPECT_FALSE(action(window, "undoAction")->isEnabled());
    EXPECT_EQ(action(window, "redoAction")->text(), "Redo “Add / remove time”");

    action(window, "redoAction")->trigger();
    answer("restoreConfirmation", "Redo");
    EXPECT_EQ(TempFolder::modification(paths_[1]), kBefore.addingSeconds(3600));
}

TEST_F(JournalWindowTest, AnUnwritableJournalAsksBeforeChangingWithoutUndo) {
    std::ofstream(folder_.path() / "plain") << "x";
    SqliteRunJournal unwritable((folder_.path() / "plain" / "journal.sqlite3").native());
    showWindow(unwritable);
    app_->model().applyChanges();
    settle();
    ASSERT_NE(modalBox("journalFailureQuestion"), nullptr);
    EXPECT_EQ(TempFolder::modification(paths_[0]), kBefore);
    answer("journalFailureQuestion", "Change Without Undo");
    EXPECT_EQ(TempFolder::modification(paths_[0]), kBefore.addingSeconds(3600));
}

TEST_F(JournalWindowTest, AnInterruptedRunIsOfferedOnceAndHistoryListsEveryRun) {
    // A run that wrote its first item and was never heard of again.
    RunRecord run;
    run.startedAt = Date::now();
    run.action = "Set to a specific date";
    const Date written = Date::fromParts(1'600'000'000);
    const JournalEntry entries[] = {
        {paths_[0].native(), std::nullopt, {std::nullopt, kBefore}, {std::nullopt, written}},
        {paths_[1].native(), std::nullopt, {std::nullopt, kBefore}, {std::nullopt, written}}};
    journal_.beginRun(run, entries);
    TempFolder::setModification(paths_[0], written);

    ContentView& window = showWindow(journal_);
    window.offerRecovery();
    settle();
    ASSERT_NE(modalBox("recoveryQuestion"), nullptr);
    EXPECT_EQ(modalBox("recoveryQuestion")->text(),
              "The last run was interrupted after 0 of 2 items. Restore their previous dates?");
    answer("recoveryQuestion", "Restore");
    EXPECT_EQ(TempFolder::modification(paths_[0]), kBefore);
    answer("resultAlert", "OK");
    window.offerRecovery();
    settle();
    EXPECT_EQ(modalBox("recoveryQuestion"), nullptr);

    window.showHistory();
    settle();
    auto* list = window.findChild<QTreeWidget*>("historyList");
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(0)->text(1), "Undo of “Set to a specific date”");
    EXPECT_EQ(list->topLevelItem(1)->text(1), "“Set to a specific date” · interrupted");
}

}  // namespace
}  // namespace vellumark::testing
