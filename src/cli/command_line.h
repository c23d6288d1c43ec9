#pragma once

#include "cli/date_arguments.h"
#include "model/action_vocabulary.h"
#include "model/date.h"

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::cli {

inline constexpr const char* kUsageLine =
    "usage: vellumark-cli [options] ACTION [ARGUMENT] [PATH...]\n"
    "       vellumark-cli [--yes|--dry-run] [--json] undo [RUN]\n"
    "       vellumark-cli [--json] history\n"
    "actions: set DATE, shift [+|-]DURATION, copy-creation-to-modification, copy-modification-to-creation,\n"
    "         lift SOURCE, remove; vellumark-cli --help tells more";

// What the program is asked to do: run a date action, put back a run from the journal, or list the runs.
enum class Command { action, undo, history };

// What the command line asks for. The action's argument follows the action word directly, so a shift
// such as "-2h" is never taken for an option.
struct CommandLine {
    Command command = Command::action;
    DateActionKind kind = DateActionKind::setSpecific;
    std::string actionName;
    Date date;
    Shift shift;
    std::string liftSource;
    DateFieldSelection fields = DateFieldSelection::both;
    bool autoCorrect = true;
    bool recursive = false;
    bool readStandardInput = false;
    bool nulSeparated = false;
    bool dryRun = false;
    bool assumeYes = false;
    bool json = false;
    bool noJournal = false;
    bool help = false;
    // The run `undo` puts back; none for the newest.
    std::optional<std::int64_t> run;
    std::vector<std::string> paths;  // raw bytes, as given
};

// A command line that cannot be followed, with the reason in a sentence for standard error.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws UsageError.
CommandLine parseCommandLine(std::span<const std::string_view> arguments);

// The paths in standard input: one per line, or separated by NUL bytes. Empty entries are skipped.
std::vector<std::string> splitPaths(std::string_view input, bool nulSeparated);

}  // namespace vellumark::cli
