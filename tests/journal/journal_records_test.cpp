// How runs are stored: records many to a row, read back exactly, damage reported, and journals written
// with a row per entry moved over.
#include "../app_model/temp_folder.h"
#include "journal/sqlite_database.h"
#include "journal/sqlite_run_journal.h"

#include <gtest/gtest.h>

namespace vellumark {
namespace {

using testing::TempFolder;

JournalEntry entryNumber(std::size_t number) {
    JournalEntry entry;
    entry.path = "/folder/file " + std::to_string(number) + std::string(number % 3, '\xff');
    if (number % 2 == 0) {
        entry.identity = ItemIdentity{2049, 1'000'000 + number, 31};
        entry.before.creationDate = Date::fromParts(-5'000'000'000, 999'999'999);
    }
    entry.before.modificationDate = Date::fromParts(1'600'000'000 + static_cast<std::int64_t>(number), 7);
    if (number % 5 != 0) {
        entry.planned.modificationDate = entry.before.modificationDate->addingSeconds(3600);
    }
    return entry;
}

void expectSameEntry(const JournalEntry& read, const JournalEntry& written) {
    EXPECT_EQ(read.path, written.path);
    EXPECT_EQ(read.identity, written.identity);
    EXPECT_EQ(read.before, written.before);
    EXPECT_EQ(read.planned, written.planned);
}

TEST(JournalRecordsTest, ARunReadsBackAsWrittenTheLaterOfTwoOutcomesCountsAndDamageIsReported) {
    TempFolder folder;
    const std::string path = (folder.path() / "journal.sqlite3").native();
    SqliteRunJournal journal(path);
    std::vector<JournalEntry> written;
    for (std::size_t number = 0; number < 300; ++number) {  // more than two rows of records
        written.push_back(entryNumber(number));
    }
    const std::int64_t run = journal.beginRun(RunRecord{}, written);
    const DateAttributes after{std::nullopt, Date::fromParts(1'700'000'000, 5)};
    journal.recordOutcomes(
        run, std::vector<EntryResult>{{0, EntryOutcome::failed, {}}, {1, EntryOutcome::changed, after}});
    journal.recordOutcomes(run, std::vector<EntryResult>{{0, EntryOutcome::changed, after}});

    EXPECT_EQ(journal.runs().at(0).handled, 2);
    const std::vector<JournaledEntry> read = journal.entries(run);
    ASSERT_EQ(read.size(), written.size());
    for (std::size_t number = 0; number < written.size(); ++number) {
        SCOPED_TRACE(number);
        expectSameEntry(read[number].entry, written[number]);
        EXPECT_EQ(read[number].outcome, number < 2 ? EntryOutcome::changed : EntryOutcome::pending);
        EXPECT_EQ(read[number].after, number < 2 ? after : DateAttributes{});
    }
    journal.markInterrupted(run);
    EXPECT_EQ(journal.run(run)->changed, 2);
    EXPECT_EQ(journal.run(run)->failed, 0);

    sqlite::Database db(path);
    db.execute(
        "UPDATE entry_rows SET records = substr(records, 1, 300) WHERE key = (SELECT max(key) FROM "
        "entry_rows)");
    EXPECT_THROW(journal.entries(run), JournalError);
}

TEST(JournalRecordsTest, AJournalWithARowPerEntryKeepsItsRunsWhenOpened) {
    TempFolder folder;
    const std::string path = (folder.path() / "journal.sqlite3").native();
    {
        sqlite::Database db(path);
        db.execute(R"(
CREATE TABLE runs (
    id INTEGER PRIMARY KEY, started_s INTEGER NOT NULL, started_ns INTEGER NOT NULL,
    action TEXT NOT NULL, settings TEXT NOT NULL, item_count INTEGER NOT NULL,
    changed INTEGER NOT NULL DEFAULT 0, failed INTEGER NOT NULL DEFAULT 0,
    complete INTEGER NOT NULL DEFAULT 0, interrupted INTEGER NOT NULL DEFAULT 0,
    restores INTEGER, depth INTEGER NOT NULL DEFAULT 0);
CREATE TABLE entries (
    key INTEGER PRIMARY KEY, path BLOB NOT NULL, device INTEGER, inode INTEGER, mount INTEGER,
    before_c_s INTEGER, before_c_ns INTEGER, before_m_s INTEGER, before_m_ns INTEGER,
    planned_c_s INTEGER, planned_c_ns INTEGER, planned_m_s INTEGER, planned_m_ns INTEGER);
CREATE TABLE outcomes (
    key INTEGER PRIMARY KEY, outcome INTEGER NOT NULL,
    after_c_s INTEGER, after_c_ns INTEGER, after_m_s INTEGER, after_m_ns INTEGER);
INSERT INTO runs (id, started_s, started_ns, action, settings, item_count) VALUES (7, 1, 0, 'Shift', '+1 h', 2);
INSERT INTO entries VALUES (30064771072, X'2F612F62FF', 2049, 12, 31, -5, 9, 100, 1, NULL, NULL, 3700, 1);
INSERT INTO entries VALUES (30064771073, '/a/c', NULL, NULL, NULL, NULL, NULL, 200, 0, NULL, NULL, 3800, 0);
INSERT INTO outcomes VALUES (30064771072, 1, NULL, NULL, 3700, 1);
INSERT INTO outcomes VALUES (30064771073, 9, NULL, NULL, NULL, NULL);
)");
    }
    SqliteRunJournal journal(path);
    ASSERT_EQ(journal.runs().size(), 1U);
    EXPECT_EQ(journal.runs()[0].handled, 1);  // the run never completed
    const std::vector<JournaledEntry> read = journal.entries(7);
    ASSERT_EQ(read.size(), 2U);
    JournalEntry first{"/a/b\xff",
                       ItemIdentity{2049, 12, 31},
                       {Date::fromParts(-5, 9), Date::fromParts(100, 1)},
                       {std::nullopt, Date::fromParts(3700, 1)}};
    expectSameEntry(read[0].entry, first);
    EXPECT_EQ(read[0].outcome, EntryOutcome::changed);
    EXPECT_EQ(read[0].after, (DateAttributes{std::nullopt, Date::fromParts(3700, 1)}));
    expectSameEntry(
        read[1].entry,
        {"/a/c", std::nullopt, {std::nullopt, Date::fromParts(200)}, {std::nullopt, Date::fromParts(3800)}});
    EXPECT_EQ(read[1].outcome, EntryOutcome::pending);  // of no known kind: as never recorded

    // The rows moved for good: a journal opened again finds the same.
    SqliteRunJournal reopened(path);
    EXPECT_EQ(reopened.entries(7).size(), 2U);
    sqlite::Database db(path);
    EXPECT_THROW(db.execute("SELECT * FROM entries"), JournalError);
}

}  // namespace
}  // namespace vellumark
