// Runs written down before they write, put back exactly, and recovered after the program was killed.
#include "../app_model/temp_folder.h"
#include "app_model/app_model.h"
#include "app_model/journaled_runs.h"
#include "journal/sqlite_run_journal.h"
#include "linux_fs/linux_file_access.h"
#include "support/scripted_open_panel.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace vellumark {
namespace {

using testing::ScriptedOpenPanel;
using testing::TempFolder;

const Date kBefore = Date::fromParts(1'500'000'000, 123'456'789);

class JournalTest : public ::testing::Test {
protected:
    JournalTest() : journal(folder.path() / "state" / "journal.sqlite3") {
        for (int index = 0; index < 4; ++index) {
            files.push_back(folder.file("item" + std::to_string(index), kBefore.addingSeconds(index)));
        }
    }

    static Date before(std::size_t index) { return kBefore.addingSeconds(static_cast<std::int64_t>(index)); }

    // A model over the files, shifting by an hour, journaled in `journal`.
    std::unique_ptr<AppModel> shiftingModel(FileAccess& fileAccess) {
        auto model = std::make_unique<AppModel>(fileAccess, panel);
        model->setJournal(&journal);
        model->addURLs(files);
        ActionConfig config = model->config();
        config.kind = DateActionKind::shift;
        config.shiftHours = 1;
        model->setConfig(config);
        return model;
    }

    std::optional<Date> modification(std::size_t index) const {
        return TempFolder::modification(files[index]);
    }

    TempFolder folder;
    std::vector<std::filesystem::path> files;
    SqliteRunJournal journal;
    LinuxFileAccess access;
    ScriptedOpenPanel panel;
};

TEST_F(JournalTest, UndoAndRedoPutBackExactlyWhatTheRunFoundAndWrote) {
    auto model = shiftingModel(access);
    model->applyChanges();
    ASSERT_EQ(model->lastResult()->succeeded, 4);
    ASSERT_TRUE(model->latestRun());
    EXPECT_EQ(model->latestRun()->action, "Add / remove time");
    EXPECT_EQ(model->latestRun()->settings, "Both dates · plus 1 h");
    EXPECT_FALSE(model->latestRun()->isUndo());

    model->restoreRun(model->latestRun()->id);
    EXPECT_EQ(model->lastResult()->succeeded, 4);
    EXPECT_EQ(model->lastResult()->restoredAction, "Add / remove time");
    for (std::size_t index = 0; index < files.size(); ++index) {
        EXPECT_EQ(modification(index), before(index));                     // to the nanosecond
        EXPECT_EQ(model->items()[index].modificationDate, before(index));  // the list read again
    }
    ASSERT_TRUE(model->latestRun()->isUndo());

    model->restoreRun(model->latestRun()->id);
    EXPECT_EQ(model->latestRun()->depth, 2);
    for (std::size_t index = 0; index < files.size(); ++index) {
        EXPECT_EQ(modification(index), before(index).addingSeconds(3600));
    }
}

TEST_F(JournalTest, UndoLeavesWhatChangedSinceAndSkipsWhatFailed) {
    auto model = shiftingModel(access);
    std::filesystem::remove(files[3]);  // the run fails on it
    model->applyChanges();
    ASSERT_EQ(model->lastResult()->failed, 1);
    const Date elsewhere = Date::fromParts(1'600'000'000);
    TempFolder::setModification(files[0], elsewhere);  // another program changed it since

    model->restoreRun(model->latestRun()->id);
    const ProcessResult& result = *model->lastResult();
    EXPECT_EQ(result.succeeded, 2);
    ASSERT_EQ(result.errors.size(), 1U);
    EXPECT_NE(result.errors[0].find(kChangedSinceText), std::string::npos);
    EXPECT_EQ(modification(0), elsewhere);
    EXPECT_EQ(modification(1), before(1));
    EXPECT_EQ(modification(2), before(2));
}

TEST_F(JournalTest, HistoryRestoresAnOlderRunAndPruningKeepsTheNewest) {
    auto model = shiftingModel(access);
    model->applyChanges();
    const std::int64_t first = model->latestRun()->id;
    model->applyChanges();  // two hours now
    model->restoreRun(first);
    // The first run's items carry other dates now (the second run's): left as they are.
    EXPECT_EQ(model->lastResult()->failed, 4);
    EXPECT_EQ(modification(1), before(1).addingSeconds(7200));

    ASSERT_EQ(journal.runs().size(), 3U);
    journal.prune(Date::fromParts(0), 2);
    EXPECT_EQ(journal.runs().size(), 2U);
    EXPECT_TRUE(journal.entries(first).empty());
    journal.prune(Date::now().addingSeconds(3600), 200);  // every run is older than that
    EXPECT_TRUE(journal.runs().empty());
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenStartsNoRunUnlessTheUserGoesWithout) {
    std::ofstream(folder.path() / "file") << "x";
    SqliteRunJournal unwritable(folder.path() / "file" / "journal.sqlite3");
    auto model = shiftingModel(access);
    model->setJournal(&unwritable);
    model->applyChanges();
    ASSERT_TRUE(model->lastResult()->journalFailure);
    EXPECT_EQ(model->lastResult()->notAttempted, 4);
    EXPECT_EQ(modification(0), before(0));
    EXPECT_FALSE(model->isProcessing());

    model->applyChanges(JournalUse::skipped);
    EXPECT_EQ(model->lastResult()->succeeded, 4);
    EXPECT_EQ(modification(0), before(0).addingSeconds(3600));
}

// Real files whose third write never comes: the process is killed while it waits.
class StallingFiles final : public FileAccess {
public:
    explicit StallingFiles(int signalFd) : signalFd_(signalFd) {}
    Existence fileExists(const std::filesystem::path& path) const override { return real_.fileExists(path); }
    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override {
        return real_.attributes(path);
    }
    ItemInfo inspect(const std::filesystem::path& path) const override { return real_.inspect(path); }
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override {
        return real_.enumerateDescendants(folder, visit);
    }
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const std::optional<ItemIdentity>& listed,
                                             const DateAttributes& dates) override {
        return real_.setAttributes(path, listed, dates);
    }
    WrittenItem writeAndInspect(const std::filesystem::path& path, const std::optional<ItemIdentity>& listed,
                                const DateAttributes& dates) override {
        if (++writes_ == 3) {
            [[maybe_unused]] const auto sent = ::write(signalFd_, "w", 1);
            ::pause();
        }
        return real_.writeAndInspect(path, listed, dates);
    }

private:
    LinuxFileAccess real_;
    int signalFd_;
    int writes_ = 0;
};

TEST_F(JournalTest, ARunKilledMidwayIsOfferedAtTheNextStartAndRestoredCompletely) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        StallingFiles stalling(pipeFds[1]);
        SqliteRunJournal own(journal.path());
        auto model = shiftingModel(stalling);
        model->setJournal(&own);
        model->applyChanges();
        ::_exit(0);
    }
    char signal = 0;
    ASSERT_EQ(::read(pipeFds[0], &signal, 1), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    ASSERT_EQ(modification(0), before(0).addingSeconds(3600));  // two were written
    ASSERT_EQ(modification(2), before(2));

    SqliteRunJournal reopened(journal.path());
    AppModel model(access, panel);
    model.setJournal(&reopened);
    const std::optional<RunRecord> interrupted = model.interruptedRun();
    ASSERT_TRUE(interrupted);
    EXPECT_EQ(interrupted->itemCount, 4);
    model.dismissInterrupted(interrupted->id);
    EXPECT_FALSE(model.interruptedRun());
    model.restoreRun(interrupted->id);
    EXPECT_EQ(model.lastResult()->succeeded, 2);
    EXPECT_EQ(model.lastResult()->failed, 0);
    for (std::size_t index = 0; index < files.size(); ++index) {
        EXPECT_EQ(modification(index), before(index));
    }
}

}  // namespace
}  // namespace vellumark
