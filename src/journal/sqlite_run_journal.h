#pragma once

#include "app_model/run_journal.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace vellumark {

namespace sqlite {
class Database;
}

// $XDG_STATE_HOME/vellumark/journal.sqlite3, or ~/.local/state/vellumark/journal.sqlite3 where
// XDG_STATE_HOME is unset or not absolute.
std::string defaultJournalPath();

// The journal in one SQLite database in WAL mode. The file and its folders are made on first use, not
// before: a journal that cannot be opened fails each call with the reason, and nothing else.
// Safe to call from two threads.
class SqliteRunJournal final : public RunJournal {
public:
    explicit SqliteRunJournal(std::string path);
    ~SqliteRunJournal() override;

    using RunJournal::beginRun;
    std::int64_t beginRun(const RunRecord& run, const EntrySource& next) override;
    void recordOutcomes(std::int64_t run, std::span<const EntryResult> results) override;
    void completeRun(std::int64_t run, std::int64_t changed, std::int64_t failed) override;
    void markInterrupted(std::int64_t run) override;
    std::vector<RunRecord> runs() const override;
    std::optional<RunRecord> run(std::int64_t id) const override;
    std::vector<JournaledEntry> entries(std::int64_t run) const override;
    void prune(Date oldest, std::size_t keep) override;

    const std::string& path() const { return path_; }

private:
    sqlite::Database& database() const;
    std::vector<RunRecord> readRuns(const char* where, std::int64_t value) const;
    void checkpointAfterRuns(const std::stop_token& stop);

    std::string path_;
    mutable std::mutex mutex_;
    mutable std::unique_ptr<sqlite::Database> database_;

    std::mutex checkpointMutex_;
    std::condition_variable_any checkpointDue_;
    bool runCompleted_ = false;  // guarded by checkpointMutex_
    std::jthread checkpointer_;  // last, so that it stops before anything it uses goes
};

}  // namespace vellumark
