#include "journal/sqlite_run_journal.h"

#include "journal/journal_records.h"
#include "journal/sqlite_database.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <system_error>

namespace vellumark {

namespace {

using sqlite::Statement;

// Entries and outcomes are keyed by run and position in one integer, so that both tables are plain rowid
// tables written in key order.
constexpr int kPositionBits = 32;

std::int64_t entryKey(std::int64_t run, std::size_t index) {
    return (run << kPositionBits) | static_cast<std::int64_t>(index);
}

std::int64_t firstKey(std::int64_t run) {
    return run << kPositionBits;
}

std::int64_t lastKey(std::int64_t run) {
    return entryKey(run, (std::size_t{1} << kPositionBits) - 1);
}

// A run's entries and outcomes are kept as records many to a row (see journal_records.h). A row of
// entries is keyed by its run and the position of its first entry; a row of outcomes by its run and the
// order in which it was recorded, so that an outcome recorded again replaces the earlier one on reading.
constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS runs (
    id INTEGER PRIMARY KEY,
    started_s INTEGER NOT NULL, started_ns INTEGER NOT NULL,
    action TEXT NOT NULL, settings TEXT NOT NULL,
    item_count INTEGER NOT NULL, changed INTEGER NOT NULL DEFAULT 0, failed INTEGER NOT NULL DEFAULT 0,
    complete INTEGER NOT NULL DEFAULT 0, interrupted INTEGER NOT NULL DEFAULT 0,
    restores INTEGER, depth INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS entry_rows (key INTEGER PRIMARY KEY, count INTEGER NOT NULL, records BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS outcome_rows (key INTEGER PRIMARY KEY, count INTEGER NOT NULL, records BLOB NOT NULL);
)";

constexpr const char* kRunColumns =
    "SELECT id, started_s, started_ns, action, settings, item_count, changed, failed, complete, interrupted, "
    "restores, depth FROM runs ";

// Rows of this many entries, with paths of a usual length, fill about one page of the database (16 KiB):
// few need pages of overflow.
constexpr std::size_t kEntriesPerRow = 128;

// Writes a run's entries as rows of kEntriesPerRow, the first at position `first`.
class EntryWriter {
public:
    EntryWriter(sqlite::Database& db, std::int64_t run, std::size_t first)
        : insert_(db.prepare("INSERT INTO entry_rows (key, count, records) VALUES (?, ?, ?)")),
          run_(run),
          next_(first) {}

    void add(const JournalEntry& entry) {
        appendEntry(records_, entry);
        if (++count_ == kEntriesPerRow) {
            flush();
        }
    }

    // Ends the row being filled; the next entry begins one at `position`.
    void flush(std::optional<std::size_t> position = std::nullopt) {
        if (count_ > 0) {
            insert_.bind(1, entryKey(run_, next_))
                .bind(2, static_cast<std::int64_t>(count_))
                .bindBlob(3, records_);
            insert_.run();
            next_ += count_;
            records_.clear();
            count_ = 0;
        }
        next_ = position.value_or(next_);
    }

    std::size_t written() const { return next_ + count_; }

private:
    Statement insert_;
    std::int64_t run_;
    std::size_t next_;
    std::size_t count_ = 0;
    std::string records_;
};

void insertOutcomes(sqlite::Database& db, std::int64_t run, std::string_view records, std::size_t count) {
    Statement last = db.prepare("SELECT max(key) FROM outcome_rows WHERE key BETWEEN ? AND ?");
    last.bind(1, firstKey(run)).bind(2, lastKey(run));
    last.step();
    const std::int64_t key = last.optionalInteger(0).value_or(firstKey(run) - 1) + 1;
    last.reset();
    Statement insert = db.prepare("INSERT INTO outcome_rows (key, count, records) VALUES (?, ?, ?)");
    insert.bind(1, key).bind(2, static_cast<std::int64_t>(count)).bindBlob(3, records);
    insert.run();
}

// Calls `visit` with every outcome recorded for `run`, in the order recorded: of two for one entry, the
// later counts.
void forEachOutcome(sqlite::Database& db, std::int64_t run,
                    const std::function<void(const EntryResult& result)>& visit) {
    Statement select =
        db.prepare("SELECT count, records FROM outcome_rows WHERE key BETWEEN ? AND ? ORDER BY key");
    select.bind(1, firstKey(run)).bind(2, lastKey(run));
    while (select.step()) {
        readOutcomes(select.blob(1), static_cast<std::size_t>(select.integer(0)), visit);
    }
}

[[noreturn]] void throwStrayOutcome() {
    throw JournalError("the journal is damaged: an outcome of a run names no entry");
}

// The outcome of each of the `itemCount` entries of `run`, pending where none was recorded.
std::vector<EntryOutcome> outcomesOf(sqlite::Database& db, std::int64_t run, std::int64_t itemCount) {
    std::vector<EntryOutcome> outcomes(static_cast<std::size_t>(std::max<std::int64_t>(itemCount, 0)));
    forEachOutcome(db, run, [&](const EntryResult& result) {
        if (result.index >= outcomes.size()) {
            throwStrayOutcome();
        }
        outcomes[result.index] = result.outcome;
    });
    return outcomes;
}

std::optional<Date> readDate(const Statement& statement, int column) {
    if (statement.isNull(column)) {
        return std::nullopt;
    }
    return Date::fromParts(statement.integer(column), statement.integer(column + 1));
}

DateAttributes readDates(const Statement& statement, int column) {
    return {readDate(statement, column), readDate(statement, column + 2)};
}

std::size_t positionOf(std::int64_t key) {
    return static_cast<std::size_t>(key & ((std::int64_t{1} << kPositionBits) - 1));
}

bool hasTable(sqlite::Database& db, const char* name) {
    Statement select = db.prepare("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?");
    select.bind(1, std::string_view(name));
    select.step();
    return select.integer(0) > 0;
}

// A journal written before runs were kept as records many to a row holds a row for every entry and every
// outcome, in the tables `entries` and `outcomes`. Their runs are moved to rows of records, once, in one
// transaction: should it fail, the journal stays as it was.
void moveRowPerEntryRuns(sqlite::Database& db) {
    if (!hasTable(db, "entries")) {
        return;
    }
    sqlite::Transaction transaction(db);
    if (!hasTable(db, "entries")) {
        return;  // another process moved them meanwhile
    }
    {
        Statement select = db.prepare(
            "SELECT e.key, path, device, inode, mount, before_c_s, before_c_ns, before_m_s, before_m_ns, "
            "planned_c_s, planned_c_ns, planned_m_s, planned_m_ns, outcome, after_c_s, after_c_ns, "
            "after_m_s, after_m_ns FROM entries e LEFT JOIN outcomes o ON o.key = e.key ORDER BY e.key");
        std::optional<EntryWriter> entries;
        std::int64_t run = 0;
        std::string outcomes;
        std::size_t outcomeCount = 0;
        const auto endRun = [&] {
            if (entries) {
                entries->flush();
            }
            if (outcomeCount > 0) {
                insertOutcomes(db, run, outcomes, outcomeCount);
            }
            outcomes.clear();
            outcomeCount = 0;
        };
        while (select.step()) {
            const std::int64_t key = select.integer(0);
            const std::size_t position = positionOf(key);
            if (!entries || key >> kPositionBits != run) {
                endRun();
                run = key >> kPositionBits;
                entries.emplace(db, run, position);
            } else if (position != entries->written()) {
                entries->flush(position);
            }
            JournalEntry entry;
            entry.path = select.text(1);
            if (!select.isNull(2)) {
                entry.identity = ItemIdentity{static_cast<std::uint64_t>(select.integer(2)),
                                              static_cast<std::uint64_t>(select.integer(3)),
                                              static_cast<std::uint64_t>(select.integer(4))};
            }
            entry.before = readDates(select, 5);
            entry.planned = readDates(select, 9);
            entries->add(entry);
            // An outcome of no known kind is left out: the entry counts as one whose outcome was never
            // recorded, which a restore checks on the disk, and the rest of the journal stays usable.
            const std::optional<std::int64_t> outcome = select.optionalInteger(13);
            if (outcome && *outcome > 0 && *outcome <= static_cast<std::int64_t>(EntryOutcome::leftAsIs)) {
                appendOutcome(outcomes,
                              {position, static_cast<EntryOutcome>(*outcome), readDates(select, 14)});
                ++outcomeCount;
            }
        }
        endRun();
    }
    db.execute("DROP TABLE entries; DROP TABLE outcomes");
    transaction.commit();
}

// Copies what it can of the log into the database file, without waiting for anyone.
void checkpoint(sqlite::Database& db) {
    try {
        db.execute("PRAGMA wal_checkpoint(PASSIVE)");
    } catch (const JournalError&) {
        // What is not copied now is copied after the next run, or when the last connection closes.
    }
}

// Makes each missing folder of `folder` for the user alone.
void makeFolders(const std::filesystem::path& folder) {
    std::filesystem::path made;
    for (const auto& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            throw JournalError("cannot make the folder " + made.native() + ": " + std::strerror(errno));
        }
        if (std::error_code error; !std::filesystem::is_directory(made, error)) {
            throw JournalError(made.native() + " is not a folder");
        }
    }
}

}  // namespace

std::string defaultJournalPath() {
    const char* state = std::getenv("XDG_STATE_HOME");
    std::filesystem::path folder;
    if (state != nullptr && state[0] == '/') {
        folder = state;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::filesystem::path(home != nullptr ? home : "") / ".local" / "state";
    }
    return (folder / "vellumark" / "journal.sqlite3").native();
}

SqliteRunJournal::SqliteRunJournal(std::string path) : path_(std::move(path)) {}

SqliteRunJournal::~SqliteRunJournal() = default;

sqlite::Database& SqliteRunJournal::database() const {
    if (!database_) {
        makeFolders(std::filesystem::path(path_).parent_path());
        auto database = std::make_unique<sqlite::Database>(path_);
        // For a new file only, and before WAL mode fixes it: a run writes its entries in one go, and each
        // page costs a write to the log and another to the file. 16 KiB pages about halve the time 4 KiB
        // pages take for 100,000 entries, and cost little more for the small commits of outcomes.
        database->execute("PRAGMA page_size = 16384");
        database->execute("PRAGMA journal_mode = WAL");
        // In WAL mode a commit survives the program being killed; after a power loss the last commits may
        // be gone, which recovery allows for (an entry without outcome is checked on the disk).
        database->execute("PRAGMA synchronous = NORMAL");
        // The log is copied into the file after each run, on a thread of its own (checkpointAfterRuns),
        // not at whichever commit makes it long: that was the one that wrote a run's entries, before
        // the run's first write.
        database->execute("PRAGMA wal_autocheckpoint = 0");
        database->execute(kSchema);
        moveRowPerEntryRuns(*database);
        database_ = std::move(database);
    }
    return *database_;
}

std::int64_t SqliteRunJournal::beginRun(const RunRecord& run, const EntrySource& next) {
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    sqlite::Transaction transaction(db);
    Statement insertRun = db.prepare(
        "INSERT INTO runs (started_s, started_ns, action, settings, item_count, restores, depth) "
        "VALUES (?, ?, ?, ?, 0, ?, ?)");
    insertRun.bind(1, run.startedAt.seconds())
        .bind(2, std::int64_t{run.startedAt.nanoseconds()})
        .bind(3, std::string_view(run.action))
        .bind(4, std::string_view(run.settings))
        .bind(5, run.restores)
        .bind(6, std::int64_t{run.depth});
    insertRun.run();
    const std::int64_t id = db.lastInsertId();
    // The entries are written as they come: a run of a million items never holds them all.
    EntryWriter writer(db, id, 0);
    JournalEntry entry;
    while (next(entry)) {
        writer.add(entry);
    }
    writer.flush();
    const std::size_t count = writer.written();
    Statement setCount = db.prepare("UPDATE runs SET item_count = ? WHERE id = ?");
    setCount.bind(1, static_cast<std::int64_t>(count)).bind(2, id);
    setCount.run();
    transaction.commit();
    return id;
}

void SqliteRunJournal::recordOutcomes(std::int64_t run, std::span<const EntryResult> results) {
    if (results.empty()) {
        return;
    }
    std::string records;
    for (const EntryResult& result : results) {
        appendOutcome(records, result);
    }
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    sqlite::Transaction transaction(db);
    insertOutcomes(db, run, records, results.size());
    transaction.commit();
}

void SqliteRunJournal::completeRun(std::int64_t run, std::int64_t changed, std::int64_t failed) {
    {
        const std::scoped_lock lock(mutex_);
        Statement update =
            database().prepare("UPDATE runs SET complete = 1, changed = ?, failed = ? WHERE id = ?");
        update.bind(1, changed).bind(2, failed).bind(3, run);
        update.run();
    }
    std::unique_lock due(checkpointMutex_);
    runCompleted_ = true;
    if (!checkpointer_.joinable()) {
        try {
            checkpointer_ = std::jthread([this](const std::stop_token& stop) { checkpointAfterRuns(stop); });
        } catch (const std::system_error&) {
            // No thread to be had: the run's caller waits for the copy instead.
            runCompleted_ = false;
            due.unlock();
            const std::scoped_lock lock(mutex_);
            checkpoint(*database_);
            return;
        }
    }
    due.unlock();
    checkpointDue_.notify_one();
}

void SqliteRunJournal::checkpointAfterRuns(const std::stop_token& stop) {
    std::optional<sqlite::Database> own;  // a connection of its own: runs go on meanwhile
    std::unique_lock due(checkpointMutex_);
    while (checkpointDue_.wait(due, stop, [this] { return runCompleted_; })) {
        runCompleted_ = false;
        due.unlock();
        try {
            if (!own) {
                own.emplace(path_);
            }
            checkpoint(*own);
        } catch (const JournalError&) {
            // The file could not be opened again: as a checkpoint that failed.
        }
        due.lock();
    }
}

void SqliteRunJournal::markInterrupted(std::int64_t run) {
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    Statement count = db.prepare("SELECT item_count FROM runs WHERE id = ?");
    count.bind(1, run);
    const std::vector<EntryOutcome> outcomes = outcomesOf(db, run, count.step() ? count.integer(0) : 0);
    count.reset();
    const auto changed = std::count(outcomes.begin(), outcomes.end(), EntryOutcome::changed);
    const auto failed = std::count(outcomes.begin(), outcomes.end(), EntryOutcome::failed);
    Statement update =
        db.prepare("UPDATE runs SET complete = 1, interrupted = 1, changed = ?, failed = ? WHERE id = ?");
    update.bind(1, changed).bind(2, failed).bind(3, run);
    update.run();
}

std::vector<RunRecord> SqliteRunJournal::readRuns(const char* where, std::int64_t value) const {
    sqlite::Database& db = database();
    Statement select = db.prepare(std::string(kRunColumns) + where);
    select.bind(1, value);
    std::vector<RunRecord> runs;
    while (select.step()) {
        RunRecord& run = runs.emplace_back();
        run.id = select.integer(0);
        run.startedAt = Date::fromParts(select.integer(1), select.integer(2));
        run.action = select.text(3);
        run.settings = select.text(4);
        run.itemCount = select.integer(5);
        run.changed = select.integer(6);
        run.failed = select.integer(7);
        run.complete = select.integer(8) != 0;
        run.interrupted = select.integer(9) != 0;
        run.restores = select.optionalInteger(10);
        run.depth = static_cast<int>(select.integer(11));
        run.handled = run.itemCount;
    }
    for (RunRecord& run : runs) {
        if (!run.complete || run.interrupted) {
            const std::vector<EntryOutcome> outcomes = outcomesOf(db, run.id, run.itemCount);
            run.handled = static_cast<std::int64_t>(outcomes.size()) -
                          std::count(outcomes.begin(), outcomes.end(), EntryOutcome::pending);
        }
    }
    return runs;
}

std::vector<RunRecord> SqliteRunJournal::runs() const {
    const std::scoped_lock lock(mutex_);
    return readRuns("WHERE id > ? ORDER BY id DESC", 0);
}

std::optional<RunRecord> SqliteRunJournal::run(std::int64_t id) const {
    const std::scoped_lock lock(mutex_);
    std::vector<RunRecord> found = readRuns("WHERE id = ?", id);
    if (found.empty()) {
        return std::nullopt;
    }
    return std::move(found.front());
}

std::vector<JournaledEntry> SqliteRunJournal::entries(std::int64_t run) const {
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    Statement select =
        db.prepare("SELECT key, count, records FROM entry_rows WHERE key BETWEEN ? AND ? ORDER BY key");
    select.bind(1, firstKey(run)).bind(2, lastKey(run));
    std::vector<JournaledEntry> entries;
    while (select.step()) {
        if (positionOf(select.integer(0)) != entries.size()) {
            throw JournalError("the journal is damaged: entries of a run are missing");
        }
        readEntries(select.blob(2), static_cast<std::size_t>(select.integer(1)),
                    [&](JournalEntry&& entry) { entries.emplace_back().entry = std::move(entry); });
    }
    forEachOutcome(db, run, [&](const EntryResult& result) {
        if (result.index >= entries.size()) {
            throwStrayOutcome();
        }
        entries[result.index].outcome = result.outcome;
        entries[result.index].after = result.after;
    });
    return entries;
}

void SqliteRunJournal::prune(Date oldest, std::size_t keep) {
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    Statement select = db.prepare(
        "SELECT id FROM runs WHERE started_s < ? OR id NOT IN (SELECT id FROM runs ORDER BY id DESC LIMIT "
        "?)");
    select.bind(1, oldest.seconds()).bind(2, static_cast<std::int64_t>(keep));
    std::vector<std::int64_t> gone;
    while (select.step()) {
        gone.push_back(select.integer(0));
    }
    select.reset();
    if (gone.empty()) {
        return;
    }
    sqlite::Transaction transaction(db);
    Statement removeRun = db.prepare("DELETE FROM runs WHERE id = ?");
    Statement removeEntries = db.prepare("DELETE FROM entry_rows WHERE key BETWEEN ? AND ?");
    Statement removeOutcomes = db.prepare("DELETE FROM outcome_rows WHERE key BETWEEN ? AND ?");
    for (const std::int64_t id : gone) {
        removeRun.bind(1, id).run();
        removeEntries.bind(1, firstKey(id)).bind(2, lastKey(id)).run();
        removeOutcomes.bind(1, firstKey(id)).bind(2, lastKey(id)).run();
    }
    transaction.commit();
}

}  // namespace vellumark
