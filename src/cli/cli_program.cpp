#include "cli/cli_program.h"

#include "app_model/app_model.h"
#include "app_model/hand_back_queue.h"
#include "app_model/visible_text.h"
#include "cli/command_line.h"
#include "cli/console.h"
#include "cli/journal_commands.h"
#include "cli/preview_report.h"
#include "journal/sqlite_run_journal.h"
#include "linux_fs/linux_file_access.h"

#include <exception>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::cli {

namespace {

constexpr const char* kHelp =
    "Changes the creation and modification dates of files and folders, as the Vellumark window does.\n"
    "\n"
    "actions:\n"
    "  set DATE                         write DATE: 2019-03-15T14:30:00.25+01:00, 2019-03-15 14:30 (local\n"
    "                                   time), or @SECONDS since 1970\n"
    "  shift [+|-]DURATION              move the dates by days, hours, minutes, seconds: -2h30m, +1d\n"
    "  copy-creation-to-modification    write each item's creation date as its modification date\n"
    "  copy-modification-to-creation    write each item's modification date as its creation date\n"
    "  lift SOURCE                      write the dates SOURCE has now\n"
    "  remove                           write 1904-01-01 00:00:00 UTC, shown as -----\n"
    "\n"
    "the journal:\n"
    "  undo [RUN]                       put back the dates the newest run found (RUN: a run of the\n"
    "                                   history); when the newest run is an undo, redo what it undid\n"
    "  history                          list the runs, newest first\n"
    "\n"
    "options:\n"
    "  --fields both|creation|modification   which dates the action writes (default both)\n"
    "  --no-auto-correct                     write future dates and a modification before creation as asked\n"
    "  -r, --recursive                       add the contents of folders, hidden items skipped\n"
    "  --stdin                               read paths from standard input, one a line\n"
    "  -0, --null                            with --stdin: paths end with NUL bytes (find -print0)\n"
    "  --no-journal                          apply without writing the run down first: it cannot be undone\n"
    "  --dry-run                             show the preview and stop\n"
    "  -y, --yes                             apply without asking\n"
    "  --json                                print the preview and the result as one JSON document\n"
    "\n"
    "The preview comes first; on a terminal the program then asks before writing. Every run is written\n"
    "down first in the window's journal, $XDG_STATE_HOME/vellumark/journal.sqlite3; a run that cannot be\n"
    "written down does not start. Ctrl+C stops a run after the item at hand. Exit status: 0 when every\n"
    "write succeeded or there was nothing to do, 1 when some failed, were left as they are or the run was\n"
    "stopped, 2 for a usage error.\n";

// Runs older than 90 days and all but the newest 200 go before each run, as when the window starts.
constexpr std::int64_t kKeptSeconds = std::int64_t{90} * 86'400;
constexpr std::size_t kKeptRuns = 200;

ActionConfig configFor(const CommandLine& line, ActionConfig config) {
    config.kind = line.kind;
    config.fields = line.fields;
    config.specificDate = line.date;
    config.shiftDirection = line.shift.direction;
    config.shiftDays = line.shift.days;
    config.shiftHours = line.shift.hours;
    config.shiftMinutes = line.shift.minutes;
    config.shiftSeconds = line.shift.seconds;
    config.correctInconsistencies = line.autoCorrect;
    config.includeSubfolderContents = line.recursive;
    return config;
}

// Applies the changes, written down first in `journal` unless the command line goes without.
void apply(const CommandLine& line, AppModel& model, HandBackQueue& owner, RunJournal& journal) {
    if (!line.noJournal) {
        try {
            journal.prune(systemClock()().addingSeconds(-kKeptSeconds), kKeptRuns);
        } catch (const std::exception&) {
            // A journal that cannot be written shows when the run needs it.
        }
        model.setJournal(&journal);
    }
    watchRun(
        model, owner,
        [&] { model.applyChanges(line.noJournal ? JournalUse::skipped : JournalUse::required); },
        "Applying…");
}

int runAction(const CommandLine& line) {
    if (!canConfirm(line)) {
        return refuseUnconfirmable();
    }
    std::vector<std::filesystem::path> paths(line.paths.begin(), line.paths.end());
    if (line.readStandardInput) {
        const std::string input{std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>()};
        for (std::string& path : splitPaths(input, line.nulSeparated)) {
            paths.emplace_back(std::move(path));
        }
    }
    if (paths.empty()) {
        return usageError("no files or folders given");
    }

    LinuxFileAccess files;
    NoOpenPanel panel;
    HandBackQueue owner;
    SqliteRunJournal journal(defaultJournalPath());
    AppModel model(files, panel, systemClock(), owner.handBack());
    model.setConfig(configFor(line, model.config()));
    if (line.kind == DateActionKind::liftFromFile) {
        if (!files.fileExists(line.liftSource).exists) {
            return usageError("lift: there is nothing at \"" + visibleText(line.liftSource) + "\"");
        }
        model.setLiftSource(line.liftSource);
    }
    model.addURLs(paths);
    owner.runUntil([&model] { return !model.isBusy(); });

    // One plan, counted as it is made; the items themselves are copied only for the JSON document, which
    // is written after the run has re-read them.
    const ItemList& items = model.items();
    std::vector<PlannedDates> plan;
    plan.reserve(items.size());
    PlanSummary summary;
    // The instant the run will plan with too: the preview is what is written.
    const Date now = model.planInstant();
    for (const FileItem& item : items) {
        plan.push_back(planDates(item, model.config(), now));
        addToSummary(summary, item, plan.back());
    }
    std::vector<PlannedChange> planned;
    if (line.json) {
        planned.reserve(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            planned.emplace_back(items[i], plan[i]);
        }
    } else {
        writePreview(std::cout, items, plan);
        std::cout << willChangeText(summary.changing, items.size()) << '\n' << std::flush;
    }
    const bool hasWork = summary.changing > 0 || summary.refused > 0;
    const bool applies =
        hasWork && !line.dryRun &&
        (line.assumeYes ||
         confirmed("Apply changes to " + itemsText(static_cast<std::int64_t>(summary.changing)) + "?"));
    if (applies) {
        apply(line, model, owner, journal);
    }
    std::optional<ProcessResult> result = model.lastResult();
    const bool journalTrouble = result && reportJournalTrouble(*result, journal.path());
    if (result && result->journalFailure) {
        std::cerr
            << "vellumark-cli: with --no-journal the changes are applied without the journal, and cannot be "
               "undone\n";
        result.reset();
    }
    std::optional<std::int64_t> run;
    if (result && !line.noJournal && model.latestRun()) {
        run = model.latestRun()->id;
    }
    if (line.json) {
        writeJson(std::cout, line.actionName, planned, summary.changing, result, run);
    }
    if (!result) {
        if (!line.json && hasWork && !line.dryRun) {
            std::cout << "Nothing was changed.\n";
        }
        return journalTrouble ? kSomeFailed : kAllWritten;
    }
    return reportResult(*result, line.json, journalTrouble);
}

}  // namespace

int runCli(int argc, char** argv) {
    // Nothing here writes through C's stdio, and a preview of a large tree is many lines.
    std::ios::sync_with_stdio(false);
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    CommandLine line;
    try {
        line = parseCommandLine(arguments);
    } catch (const UsageError& error) {
        return usageError(error.what());
    }
    if (line.help) {
        std::cout << kUsageLine << "\n\n" << kHelp;
        return kAllWritten;
    }
    switch (line.command) {
        case Command::action:
            return runAction(line);
        case Command::undo:
            return runUndo(line);
        case Command::history:
            return runHistory(line);
    }
    return kUsageError;
}

}  // namespace vellumark::cli
