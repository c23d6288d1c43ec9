#pragma once

#include "cli/date_arguments.h"
#include "model/action_vocabulary.h"
#include "model/date.h"

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::cli {

inline constexpr const char* kUsageLine =
    "usage: vellumark-cli [options] ACTION [ARGUMENT] [PATH...]\n"
    "actions: set DATE, shift [+|-]DURATION, copy-creation-to-modification, copy-modification-to-creation,\n"
    "         lift SOURCE, remove; vellumark-cli --help tells more";

// What the command line asks for. The action's argument follows the action word directly, so a shift
// such as "-2h" is never taken for an option.
struct CommandLine {
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
    bool help = false;
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
