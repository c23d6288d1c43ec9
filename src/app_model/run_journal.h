#pragma once

#include "app_model/file_access.h"
#include "model/date.h"
#include "model/item_identity.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vellumark {

// One run as the journal keeps it.
struct RunRecord {
    std::int64_t id = 0;
    Date startedAt = Date::fromParts(0);
    // The action's title, such as "Set to a specific date"; for a restoring run, the title of the run at
    // the bottom of the chain it restores.
    std::string action;
    // The settings in words, such as "Both dates · 15 Mar 2019 14:30:00 UTC".
    std::string settings;
    std::int64_t itemCount = 0;
    std::int64_t changed = 0;
    std::int64_t failed = 0;
    // Items whose outcome was recorded; below itemCount only for a run that never completed.
    std::int64_t handled = 0;
    bool complete = false;
    // Set when a later start found the run never completed.
    bool interrupted = false;
    // The run whose previous dates this run put back, if it is a restoring run.
    std::optional<std::int64_t> restores;
    // 0 for a run of an action, 1 for the run that restored it (an undo), 2 for a redo, and so on.
    int depth = 0;

    bool isUndo() const { return depth % 2 == 1; }
};

// One item a run is about to write: where it is, which file it is, its dates before and the dates the
// run writes (only those present are written).
struct JournalEntry {
    std::string path;
    std::optional<ItemIdentity> identity;
    DateAttributes before;
    DateAttributes planned;
};

enum class EntryOutcome : std::uint8_t {
    pending,       // not recorded: the run ended before it, or never reached it
    changed,       // written and verified
    failed,        // the write failed, or a date could not be stored
    notAttempted,  // the run was cancelled first
    leftAsIs,      // a restoring run found other dates than the ones it was to replace
};

// The outcome of entry `index` of a run, with the item's dates as read afterwards.
struct EntryResult {
    std::size_t index = 0;
    EntryOutcome outcome = EntryOutcome::pending;
    DateAttributes after;
};

struct JournaledEntry {
    JournalEntry entry;
    EntryOutcome outcome = EntryOutcome::pending;
    DateAttributes after;
};

// Why the journal could not be read or written, in plain words.
class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Where every run is written down before its first write, so that its previous dates can be put back.
// Every member may throw JournalError. One run is written at a time; the worker of a run may call the
// recording members from its own thread while no other member is called.
class RunJournal {
public:
    virtual ~RunJournal() = default;

    // Fills `entry` with the next entry and returns true, or returns false after the last.
    using EntrySource = std::function<bool(JournalEntry& entry)>;

    // Records the run and every entry `next` gives, at once, without holding them all; returns the run's id.
    virtual std::int64_t beginRun(const RunRecord& run, const EntrySource& next) = 0;
    std::int64_t beginRun(const RunRecord& run, std::span<const JournalEntry> entries) {
        std::size_t index = 0;
        return beginRun(run, [&](JournalEntry& entry) {
            if (index == entries.size()) {
                return false;
            }
            entry = entries[index++];
            return true;
        });
    }
    virtual void recordOutcomes(std::int64_t run, std::span<const EntryResult> results) = 0;
    virtual void completeRun(std::int64_t run, std::int64_t changed, std::int64_t failed) = 0;
    // Marks a run that never completed as complete and interrupted: it is offered once.
    virtual void markInterrupted(std::int64_t run) = 0;

    // Newest first.
    virtual std::vector<RunRecord> runs() const = 0;
    virtual std::optional<RunRecord> run(std::int64_t id) const = 0;
    virtual std::vector<JournaledEntry> entries(std::int64_t run) const = 0;

    // Forgets runs started before `oldest` and all but the newest `keep`.
    virtual void prune(Date oldest, std::size_t keep) = 0;
};

}  // namespace vellumark
