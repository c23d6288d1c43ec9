#include "cli/cli_program.h"

#include "app_model/app_model.h"
#include "app_model/hand_back_queue.h"
#include "app_model/open_panel.h"
#include "app_model/visible_text.h"
#include "cli/command_line.h"
#include "cli/preview_report.h"
#include "linux_fs/linux_file_access.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace vellumark::cli {

namespace {

constexpr int kAllWritten = 0;
constexpr int kSomeFailed = 1;
constexpr int kUsageError = 2;

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
    "options:\n"
    "  --fields both|creation|modification   which dates the action writes (default both)\n"
    "  --no-auto-correct                     write future dates and a modification before creation as asked\n"
    "  -r, --recursive                       add the contents of folders, hidden items skipped\n"
    "  --stdin                               read paths from standard input, one a line\n"
    "  -0, --null                            with --stdin: paths end with NUL bytes (find -print0)\n"
    "  --dry-run                             show the preview and stop\n"
    "  -y, --yes                             apply without asking\n"
    "  --json                                print the preview and the result as one JSON document\n"
    "\n"
    "The preview comes first; on a terminal the program then asks before writing. Ctrl+C stops a run\n"
    "after the item at hand. Exit status: 0 when every write succeeded or there was nothing to do, 1 when\n"
    "some failed or the run was stopped, 2 for a usage error.\n";

// The command line never shows a chooser.
class NoOpenPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& /*options*/) override {
        return std::nullopt;
    }
};

// Set by Ctrl+C while a run is on; the run then stops after the item at hand.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterrupt(int /*signal*/) {
    interrupted = 1;
}

// Applies on a worker thread while this one watches for Ctrl+C and, on a terminal, shows how far the run
// has come on standard error.
void applyWatching(AppModel& model, HandBackQueue& owner) {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    auto lastShown = std::chrono::steady_clock::now();
    bool shown = false;

    model.applyChanges();
    owner.runUntil([&] {
        if (interrupted != 0) {
            model.cancel();
        }
        const auto now = std::chrono::steady_clock::now();
        if (showProgress && model.isBusy() && now - lastShown > std::chrono::milliseconds(200)) {
            std::cerr << "\rApplying… " << model.progress().done << " of " << model.progress().total
                      << (interrupted != 0 ? ", stopping" : "") << std::flush;
            lastShown = now;
            shown = true;
        }
        return !model.isBusy();
    });
    if (shown) {
        std::cerr << "\r\033[K" << std::flush;
    }
    sigaction(SIGINT, &previous, nullptr);
}

int usageError(std::string_view message) {
    std::cerr << "vellumark-cli: " << message << '\n' << kUsageLine << '\n';
    return kUsageError;
}

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

bool confirmed(std::size_t changing) {
    std::cerr << "Apply changes to " << changing << (changing == 1 ? " item" : " items") << "? [y/N] "
              << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

int run(const CommandLine& line) {
    if (!line.dryRun && !line.assumeYes && isatty(STDIN_FILENO) == 0) {
        return usageError(
            "standard input is not a terminal, so no one can confirm the changes; pass --yes to apply "
            "them without asking, or --dry-run to preview only");
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
    const std::vector<FileItem>& items = model.items();
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
    const bool applies = hasWork && !line.dryRun && (line.assumeYes || confirmed(summary.changing));
    if (applies) {
        applyWatching(model, owner);
    }
    const std::optional<ProcessResult>& result = model.lastResult();
    if (line.json) {
        writeJson(std::cout, line.actionName, planned, summary.changing, result);
    }
    if (!result) {
        if (!line.json && hasWork && !line.dryRun) {
            std::cout << "Nothing was changed.\n";
        }
        return kAllWritten;
    }
    for (const std::string& error : result->errors) {
        std::cerr << error << '\n';
    }
    if (!line.json) {
        std::cout << resultText(*result) << '\n';
    }
    return result->failed > 0 || result->notAttempted > 0 ? kSomeFailed : kAllWritten;
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
    return run(line);
}

}  // namespace vellumark::cli
