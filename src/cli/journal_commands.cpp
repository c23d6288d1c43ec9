#include "cli/journal_commands.h"

#include "app_model/journaled_runs.h"
#include "app_model/visible_text.h"
#include "cli/console.h"
#include "cli/journal_report.h"
#include "cli/preview_report.h"
#include "journal/sqlite_run_journal.h"
#include "linux_fs/linux_file_access.h"

#include <exception>
#include <iostream>
#include <string>
#include <vector>

namespace vellumark::cli {

namespace {

int unreadable(const SqliteRunJournal& journal, const std::exception& error) {
    std::cerr << "vellumark-cli: the journal " << visibleText(journal.path())
              << " cannot be read: " << error.what() << '\n';
    return kSomeFailed;
}

}  // namespace

int runUndo(const CommandLine& line) {
    if (!canConfirm(line)) {
        return refuseUnconfirmable();
    }
    SqliteRunJournal journal(defaultJournalPath());
    RunRecord restored;
    std::vector<RestoreStep> steps;
    try {
        if (line.run) {
            std::optional<RunRecord> found = journal.run(*line.run);
            if (!found) {
                return usageError("undo: there is no run #" + std::to_string(*line.run) +
                                  " in the history; vellumark-cli history lists them");
            }
            restored = std::move(*found);
        } else {
            std::vector<RunRecord> runs = journal.runs();
            if (runs.empty()) {
                if (line.json) {
                    std::cout
                        << "{\"command\": \"undo\",\n \"run\": null,\n \"total\": 0,\n \"items\": [],\n";
                    writeJsonOutcome(std::cout, std::nullopt, std::nullopt);
                } else {
                    std::cout << "There is no run to undo.\n";
                }
                return kAllWritten;
            }
            restored = std::move(runs.front());
        }
        for (const JournaledEntry& journaled : journal.entries(restored.id)) {
            if (std::optional<RestoreStep> step = restoreStep(journaled)) {
                steps.push_back(std::move(*step));
            }
        }
    } catch (const std::exception& error) {
        return unreadable(journal, error);
    }

    const std::string title = restoreTitle(restored);
    if (!line.json) {
        std::cout << title << ": " << itemsText(static_cast<std::int64_t>(steps.size())) << '\n';
        writeRestorePreview(std::cout, steps);
        std::cout << std::flush;
    }
    const bool applies =
        !steps.empty() && !line.dryRun &&
        (line.assumeYes ||
         confirmed(title + " on " + itemsText(static_cast<std::int64_t>(steps.size())) + "?"));
    std::optional<ProcessResult> result;
    std::optional<std::int64_t> restoringRun;
    if (applies) {
        LinuxFileAccess files;
        NoOpenPanel panel;
        HandBackQueue owner;
        AppModel model(files, panel, systemClock(), owner.handBack());
        model.setJournal(&journal);
        watchRun(
            model, owner, [&] { model.restoreRun(restored.id); },
            restored.isUndo() ? "Redoing…" : "Undoing…");
        result = model.lastResult();
        if (result && !result->journalFailure && model.latestRun()) {
            restoringRun = model.latestRun()->id;
        }
    }
    const bool journalTrouble = result && reportJournalTrouble(*result, journal.path());
    const bool started = result && !result->journalFailure;
    if (line.json) {
        writeRestoreJson(std::cout, restored, steps, started ? result : std::nullopt, restoringRun);
    }
    if (applies && !result) {
        std::cerr << "vellumark-cli: nothing was changed: run #" << restored.id
                  << " could no longer be read from the journal\n";
        return kSomeFailed;
    }
    if (!started) {
        if (!line.json && !steps.empty() && !line.dryRun) {
            std::cout << "Nothing was changed.\n";
        } else if (!line.json && steps.empty()) {
            std::cout << "Nothing to put back.\n";
        }
        return journalTrouble ? kSomeFailed : kAllWritten;
    }
    return reportResult(*result, line.json, journalTrouble);
}

int runHistory(const CommandLine& line) {
    SqliteRunJournal journal(defaultJournalPath());
    std::vector<RunRecord> runs;
    try {
        runs = journal.runs();
    } catch (const std::exception& error) {
        return unreadable(journal, error);
    }
    if (line.json) {
        writeHistoryJson(std::cout, runs);
    } else if (runs.empty()) {
        std::cout << "The journal holds no runs.\n";
    } else {
        writeHistory(std::cout, runs);
    }
    return kAllWritten;
}

}  // namespace vellumark::cli
