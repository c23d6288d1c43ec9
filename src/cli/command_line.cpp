#include "cli/command_line.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <utility>

namespace vellumark::cli {

namespace {

struct ActionWord {
    std::string_view word;
    DateActionKind kind;
    bool takesArgument;
};

constexpr std::array<ActionWord, 6> kActionWords{{
    {"set", DateActionKind::setSpecific, true},
    {"shift", DateActionKind::shift, true},
    {"copy-creation-to-modification", DateActionKind::copyCreationToModification, false},
    {"copy-modification-to-creation", DateActionKind::copyModificationToCreation, false},
    {"lift", DateActionKind::liftFromFile, true},
    {"remove", DateActionKind::removeDates, false},
}};

DateFieldSelection parseFields(std::string_view text) {
    if (text == "both") {
        return DateFieldSelection::both;
    }
    if (text == "creation") {
        return DateFieldSelection::creation;
    }
    if (text == "modification") {
        return DateFieldSelection::modification;
    }
    throw UsageError("--fields takes both, creation or modification, not \"" + std::string(text) + "\"");
}

void takeActionArgument(CommandLine& line, std::string_view argument) {
    std::string problem;
    switch (line.kind) {
        case DateActionKind::setSpecific:
            if (const std::optional<Date> date = parseDate(argument, problem)) {
                line.date = *date;
                return;
            }
            throw UsageError("set: \"" + std::string(argument) + "\" is not a date: " + problem);
        case DateActionKind::shift:
            if (const std::optional<Shift> shift = parseShift(argument, problem)) {
                line.shift = *shift;
                return;
            }
            throw UsageError("shift: \"" + std::string(argument) + "\" is not a duration: " + problem);
        case DateActionKind::liftFromFile:
            if (argument.empty()) {
                throw UsageError("lift: the source is an empty path");
            }
            line.liftSource = std::string(argument);
            return;
        case DateActionKind::copyCreationToModification:
        case DateActionKind::copyModificationToCreation:
        case DateActionKind::removeDates:
            return;
    }
}

// A run as history lists it: "12" or "#12".
std::int64_t parseRun(std::string_view text) {
    const std::string_view digits = text.starts_with('#') ? text.substr(1) : text;
    std::int64_t run = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), run);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || run <= 0) {
        throw UsageError("undo: \"" + std::string(text) + "\" is not a run number from the history");
    }
    return run;
}

// The words after undo or history, which name no paths.
void takeJournalArgument(CommandLine& line, std::string_view argument) {
    if (line.command == Command::history) {
        throw UsageError("history takes no arguments, not \"" + std::string(argument) + "\"");
    }
    if (line.run) {
        throw UsageError("undo takes one run number at most");
    }
    line.run = parseRun(argument);
}

// Options of the date actions have no meaning for undo and history; neither have --yes and --dry-run for
// history, which writes nothing.
void checkJournalOptions(const CommandLine& line, std::string_view actionOption) {
    const std::string_view command = line.command == Command::undo ? "undo" : "history";
    if (!actionOption.empty()) {
        throw UsageError(std::string(actionOption) + " does not apply to " + std::string(command));
    }
    if (line.noJournal) {
        throw UsageError(std::string(command) + " reads the journal: --no-journal does not apply");
    }
    if (line.command == Command::history && (line.assumeYes || line.dryRun)) {
        throw UsageError(std::string(line.assumeYes ? "--yes" : "--dry-run") + " does not apply to history");
    }
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> arguments) {
    CommandLine line;
    bool haveAction = false;
    bool optionsEnded = false;
    // The first option given that only the date actions take, for telling undo and history it is wrong.
    std::string_view actionOption;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.front() == '-';
        if (!isOption) {
            if (haveAction && line.command != Command::action) {
                takeJournalArgument(line, argument);
                continue;
            }
            if (haveAction) {
                line.paths.emplace_back(argument);
                continue;
            }
            if (argument == "undo" || argument == "history") {
                haveAction = true;
                line.command = argument == "undo" ? Command::undo : Command::history;
                line.actionName = std::string(argument);
                continue;
            }
            const auto* action =
                std::find_if(kActionWords.begin(), kActionWords.end(),
                             [argument](const ActionWord& word) { return word.word == argument; });
            if (action == kActionWords.end()) {
                throw UsageError("unknown action \"" + std::string(argument) + "\"");
            }
            haveAction = true;
            line.kind = action->kind;
            line.actionName = std::string(action->word);
            if (action->takesArgument) {
                if (i + 1 == arguments.size()) {
                    throw UsageError(line.actionName + " needs an argument");
                }
                takeActionArgument(line, arguments[++i]);
            }
            continue;
        }
        const bool forActions = argument == "--fields" || argument.starts_with("--fields=") ||
                                argument == "--no-auto-correct" || argument == "-r" ||
                                argument == "--recursive" || argument == "--stdin" || argument == "-0" ||
                                argument == "--null";
        if (forActions && actionOption.empty()) {
            actionOption = argument.substr(0, argument.find('='));
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--fields") {
            if (i + 1 == arguments.size()) {
                throw UsageError("--fields needs a value: both, creation or modification");
            }
            line.fields = parseFields(arguments[++i]);
        } else if (argument.starts_with("--fields=")) {
            line.fields = parseFields(argument.substr(9));
        } else if (argument == "--no-auto-correct") {
            line.autoCorrect = false;
        } else if (argument == "-r" || argument == "--recursive") {
            line.recursive = true;
        } else if (argument == "--stdin") {
            line.readStandardInput = true;
        } else if (argument == "-0" || argument == "--null") {
            line.nulSeparated = true;
        } else if (argument == "--no-journal") {
            line.noJournal = true;
        } else if (argument == "--dry-run") {
            line.dryRun = true;
        } else if (argument == "-y" || argument == "--yes") {
            line.assumeYes = true;
        } else if (argument == "--json") {
            line.json = true;
        } else if (argument == "-h" || argument == "--help") {
            line.help = true;
        } else {
            throw UsageError("unknown option \"" + std::string(argument) + "\"");
        }
    }
    if (line.help) {
        return line;
    }
    if (!haveAction) {
        throw UsageError("no action given");
    }
    if (line.dryRun && line.assumeYes) {
        throw UsageError("--dry-run and --yes exclude each other");
    }
    if (line.command != Command::action) {
        checkJournalOptions(line, actionOption);
        return line;
    }
    if (line.nulSeparated && !line.readStandardInput) {
        throw UsageError("-0 applies to paths read with --stdin");
    }
    if (line.paths.empty() && !line.readStandardInput) {
        throw UsageError("no files or folders given");
    }
    return line;
}

std::vector<std::string> splitPaths(std::string_view input, bool nulSeparated) {
    const char separator = nulSeparated ? '\0' : '\n';
    std::vector<std::string> paths;
    while (!input.empty()) {
        const std::size_t end = std::min(input.find(separator), input.size());
        if (end > 0) {
            paths.emplace_back(input.substr(0, end));
        }
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    return paths;
}

}  // namespace vellumark::cli
