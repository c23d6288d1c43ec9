#include "journal/sqlite_run_journal.h"

#include "journal/sqlite_database.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

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

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS runs (
    id INTEGER PRIMARY KEY,
    started_s INTEGER NOT NULL, started_ns INTEGER NOT NULL,
    action TEXT NOT NULL, settings TEXT NOT NULL,
    item_count INTEGER NOT NULL, changed INTEGER NOT NULL DEFAULT 0, failed INTEGER NOT NULL DEFAULT 0,
    complete INTEGER NOT NULL DEFAULT 0, interrupted INTEGER NOT NULL DEFAULT 0,
    restores INTEGER, depth INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS entries (
    key INTEGER PRIMARY KEY, path BLOB NOT NULL, device INTEGER, inode INTEGER, mount INTEGER,
    before_c_s INTEGER, before_c_ns INTEGER, before_m_s INTEGER, before_m_ns INTEGER,
    planned_c_s INTEGER, planned_c_ns INTEGER, planned_m_s INTEGER, planned_m_ns INTEGER);
CREATE TABLE IF NOT EXISTS outcomes (
    key INTEGER PRIMARY KEY, outcome INTEGER NOT NULL,
    after_c_s INTEGER, after_c_ns INTEGER, after_m_s INTEGER, after_m_ns INTEGER);
)";

constexpr const char* kRunColumns =
    "SELECT id, started_s, started_ns, action, settings, item_count, changed, failed, complete, interrupted, "
    "restores, depth FROM runs ";

void bindDate(Statement& statement, int index, const std::optional<Date>& date) {
    if (date) {
        statement.bind(index, date->seconds()).bind(index + 1, std::int64_t{date->nanoseconds()});
    } else {
        statement.bindNull(index).bindNull(index + 1);
    }
}

// Rows go in many to a statement: a run of 100,000 items costs a few thousand steps rather than 100,000.
constexpr std::size_t kRowsPerInsert = 64;
constexpr int kEntryColumns = 13;
constexpr int kOutcomeColumns = 6;

// "INSERT … VALUES (?, …), (?, …)" with `rows` rows of `columns` parameters.
std::string insertSql(std::string_view head, int columns, std::size_t rows) {
    std::string row = "(?";
    for (int column = 1; column < columns; ++column) {
        row += ", ?";
    }
    row += ")";
    std::string sql(head);
    for (std::size_t index = 0; index < rows; ++index) {
        sql += index == 0 ? " VALUES " : ", ";
        sql += row;
    }
    return sql;
}

// Runs `bindRow(statement, firstParameter, index)` for each index below `count`, `kRowsPerInsert` rows to a
// step while that many are left, then one at a time.
template <typename BindRow>
void insertRows(sqlite::Database& db, std::string_view head, int columns, std::size_t count,
                BindRow bindRow) {
    if (count >= kRowsPerInsert) {
        Statement many = db.prepare(insertSql(head, columns, kRowsPerInsert));
        for (std::size_t first = 0; first + kRowsPerInsert <= count; first += kRowsPerInsert) {
            for (std::size_t row = 0; row < kRowsPerInsert; ++row) {
                bindRow(many, static_cast<int>(row) * columns + 1, first + row);
            }
            many.run();
        }
    }
    if (count % kRowsPerInsert != 0) {
        Statement one = db.prepare(insertSql(head, columns, 1));
        for (std::size_t index = count - count % kRowsPerInsert; index < count; ++index) {
            bindRow(one, 1, index);
            one.run();
        }
    }
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
        database->execute(kSchema);
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
    // The entries come a chunk at a time: a run of a million items never holds them all.
    std::vector<JournalEntry> chunk(kRowsPerInsert * 64);
    std::size_t count = 0;
    for (bool more = true; more;) {
        std::size_t filled = 0;
        while (filled < chunk.size() && (more = next(chunk[filled]))) {
            ++filled;
        }
        insertRows(db, "INSERT INTO entries", kEntryColumns, filled,
                   [&](Statement& insert, int first, std::size_t index) {
                       const JournalEntry& entry = chunk[index];
                       insert.bind(first, entryKey(id, count + index)).bindBlob(first + 1, entry.path);
                       if (entry.identity) {
                           insert.bind(first + 2, static_cast<std::int64_t>(entry.identity->device))
                               .bind(first + 3, static_cast<std::int64_t>(entry.identity->inode))
                               .bind(first + 4, static_cast<std::int64_t>(entry.identity->mount));
                       }
                       bindDate(insert, first + 5, entry.before.creationDate);
                       bindDate(insert, first + 7, entry.before.modificationDate);
                       bindDate(insert, first + 9, entry.planned.creationDate);
                       bindDate(insert, first + 11, entry.planned.modificationDate);
                   });
        count += filled;
    }
    Statement setCount = db.prepare("UPDATE runs SET item_count = ? WHERE id = ?");
    setCount.bind(1, static_cast<std::int64_t>(count)).bind(2, id);
    setCount.run();
    transaction.commit();
    return id;
}

void SqliteRunJournal::recordOutcomes(std::int64_t run, std::span<const EntryResult> results) {
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    sqlite::Transaction transaction(db);
    insertRows(db, "INSERT OR REPLACE INTO outcomes", kOutcomeColumns, results.size(),
               [&](Statement& insert, int first, std::size_t index) {
                   const EntryResult& result = results[index];
                   insert.bind(first, entryKey(run, result.index))
                       .bind(first + 1, static_cast<std::int64_t>(result.outcome));
                   bindDate(insert, first + 2, result.after.creationDate);
                   bindDate(insert, first + 4, result.after.modificationDate);
               });
    transaction.commit();
}

void SqliteRunJournal::completeRun(std::int64_t run, std::int64_t changed, std::int64_t failed) {
    const std::scoped_lock lock(mutex_);
    Statement update =
        database().prepare("UPDATE runs SET complete = 1, changed = ?, failed = ? WHERE id = ?");
    update.bind(1, changed).bind(2, failed).bind(3, run);
    update.run();
}

void SqliteRunJournal::markInterrupted(std::int64_t run) {
    const std::scoped_lock lock(mutex_);
    sqlite::Database& db = database();
    Statement count =
        db.prepare("SELECT sum(outcome = ?), sum(outcome = ?) FROM outcomes WHERE key BETWEEN ? AND ?");
    count.bind(1, static_cast<std::int64_t>(EntryOutcome::changed))
        .bind(2, static_cast<std::int64_t>(EntryOutcome::failed))
        .bind(3, firstKey(run))
        .bind(4, lastKey(run));
    count.step();
    const std::int64_t changed = count.optionalInteger(0).value_or(0);
    const std::int64_t failed = count.optionalInteger(1).value_or(0);
    count.reset();
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
    Statement count = db.prepare("SELECT count(*) FROM outcomes WHERE key BETWEEN ? AND ?");
    for (RunRecord& run : runs) {
        if (!run.complete || run.interrupted) {
            count.bind(1, firstKey(run.id)).bind(2, lastKey(run.id));
            count.step();
            run.handled = count.integer(0);
            count.reset();
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
    Statement select = database().prepare(
        "SELECT e.key, path, device, inode, mount, before_c_s, before_c_ns, before_m_s, before_m_ns, "
        "planned_c_s, planned_c_ns, planned_m_s, planned_m_ns, outcome, after_c_s, after_c_ns, after_m_s, "
        "after_m_ns FROM entries e LEFT JOIN outcomes o ON o.key = e.key WHERE e.key BETWEEN ? AND ? "
        "ORDER BY e.key");
    select.bind(1, firstKey(run)).bind(2, lastKey(run));
    std::vector<JournaledEntry> entries;
    while (select.step()) {
        JournaledEntry& journaled = entries.emplace_back();
        journaled.entry.path = select.text(1);
        if (!select.isNull(2)) {
            journaled.entry.identity = ItemIdentity{static_cast<std::uint64_t>(select.integer(2)),
                                                    static_cast<std::uint64_t>(select.integer(3)),
                                                    static_cast<std::uint64_t>(select.integer(4))};
        }
        journaled.entry.before = readDates(select, 5);
        journaled.entry.planned = readDates(select, 9);
        journaled.outcome = static_cast<EntryOutcome>(select.optionalInteger(13).value_or(0));
        journaled.after = readDates(select, 14);
    }
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
    Statement removeEntries = db.prepare("DELETE FROM entries WHERE key BETWEEN ? AND ?");
    Statement removeOutcomes = db.prepare("DELETE FROM outcomes WHERE key BETWEEN ? AND ?");
    for (const std::int64_t id : gone) {
        removeRun.bind(1, id).run();
        removeEntries.bind(1, firstKey(id)).bind(2, lastKey(id)).run();
        removeOutcomes.bind(1, firstKey(id)).bind(2, lastKey(id)).run();
    }
    transaction.commit();
}

}  // namespace vellumark
