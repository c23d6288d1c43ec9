#include "cli/command_line.h"

#include <algorithm>
#include <array>
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

}  // namespace

CommandLine parseCommandLine(std::span<const std::string_view> arguments) {
    CommandLine line;
    bool haveAction = false;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool isOption = !optionsEnded && argument.size() > 1 && argument.front() == '-';
        if (!isOption) {
            if (haveAction) {
                line.paths.emplace_back(argument);
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
    if (line.nulSeparated && !line.readStandardInput) {
        throw UsageError("-0 applies to paths read with --stdin");
    }
    if (line.dryRun && line.assumeYes) {
        throw UsageError("--dry-run and --yes exclude each other");
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
