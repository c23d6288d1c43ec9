#include "cli/journal_report.h"

#include "app_model/visible_text.h"
#include "cli/json_text.h"
#include "cli/preview_report.h"

#include <algorithm>
#include <array>
#include <ctime>
#include <string_view>
#include <utility>
#include <vector>

namespace vellumark::cli {

namespace {

// "2026-03-02 10:00:01" in the local time zone.
std::string localText(Date date) {
    const std::time_t seconds = date.seconds();
    std::tm local{};
    std::array<char, 64> text{};
    if (localtime_r(&seconds, &local) == nullptr ||
        std::strftime(text.data(), text.size(), "%Y-%m-%d %H:%M:%S", &local) == 0) {
        return utcText(date);
    }
    return text.data();
}

std::string_view kindName(const RunRecord& run) {
    if (!run.restores) {
        return "action";
    }
    return run.isUndo() ? "undo" : "redo";
}

// "Add / remove time · Both dates · plus 1 h · undo of #12 · interrupted"
std::string whatText(const RunRecord& run) {
    std::string text = visibleText(run.action);
    if (!run.settings.empty()) {
        text += " · " + visibleText(run.settings);
    }
    if (run.restores) {
        text += " · " + std::string(kindName(run)) + " of #" + std::to_string(*run.restores);
    }
    if (run.interrupted) {
        text += " · interrupted";
    } else if (!run.complete) {
        text += " · unfinished, " + std::to_string(run.handled) + " of " + std::to_string(run.itemCount) +
                " handled";
    }
    return text;
}

std::string rightAligned(const std::string& text, std::size_t width) {
    return std::string(width - std::min(width, text.size()), ' ') + text;
}

void writeRestoreDate(std::ostream& out, std::string_view name, const std::optional<Date>& from,
                      const std::optional<Date>& to) {
    out << '"' << name << "\": ";
    if (!to) {
        out << "null";
        return;
    }
    out << "{\"from\": " << jsonDate(from) << ", \"to\": " << jsonDate(to) << '}';
}

}  // namespace

std::string restoreTitle(const RunRecord& run) {
    return std::string(run.isUndo() ? "Redo" : "Undo") + " \u201C" + visibleText(run.action) + "\u201D";
}

void writeRestorePreview(std::ostream& out, std::span<const RestoreStep> steps) {
    for (const RestoreStep& step : steps) {
        out << visibleText(step.path) << '\n';
        const std::pair<const char*, std::string> lines[] = {
            {"  creation      ", step.target.creationDate ? dateText(step.expected.creationDate) : ""},
            {"  modification  ",
             step.target.modificationDate ? dateText(step.expected.modificationDate) : ""},
        };
        const std::optional<Date> targets[] = {step.target.creationDate, step.target.modificationDate};
        const std::size_t width = std::max(lines[0].second.size(), lines[1].second.size());
        for (std::size_t date = 0; date < 2; ++date) {
            if (targets[date]) {
                const std::string& from = lines[date].second;
                out << lines[date].first << from << std::string(width - from.size(), ' ') << "  ->  "
                    << dateText(targets[date]) << '\n';
            }
        }
    }
}

void writeRestoreJson(std::ostream& out, const RunRecord& run, std::span<const RestoreStep> steps,
                      const std::optional<ProcessResult>& result, std::optional<std::int64_t> restoringRun) {
    out << "{\"command\": \"" << (run.isUndo() ? "redo" : "undo") << "\",\n \"run\": " << run.id
        << ",\n \"action\": " << jsonString(run.action) << ",\n \"settings\": " << jsonString(run.settings)
        << ",\n \"total\": " << steps.size() << ",\n \"items\": [";
    const char* separator = "\n  ";
    for (const RestoreStep& step : steps) {
        out << separator << '{';
        writeJsonPath(out, step.path);
        out << ", ";
        writeRestoreDate(out, "creation", step.expected.creationDate, step.target.creationDate);
        out << ", ";
        writeRestoreDate(out, "modification", step.expected.modificationDate, step.target.modificationDate);
        out << '}';
        separator = ",\n  ";
    }
    out << "],\n";
    writeJsonOutcome(out, result, restoringRun);
}

void writeHistory(std::ostream& out, std::span<const RunRecord> runs) {
    struct Row {
        std::array<std::string, 5> cells;  // run, when, items, changed, failed
        std::string what;
    };
    std::vector<Row> rows;
    rows.push_back({{"RUN", "WHEN", "ITEMS", "CHANGED", "FAILED"}, "WHAT"});
    for (const RunRecord& run : runs) {
        rows.push_back(
            {{"#" + std::to_string(run.id), localText(run.startedAt), std::to_string(run.itemCount),
              std::to_string(run.changed), std::to_string(run.failed)},
             whatText(run)});
    }
    std::array<std::size_t, 5> widths{};
    for (const Row& row : rows) {
        for (std::size_t column = 0; column < widths.size(); ++column) {
            widths[column] = std::max(widths[column], row.cells[column].size());
        }
    }
    for (const Row& row : rows) {
        // The number and the date read left to right; the counts line up on their last digit.
        out << row.cells[0] << std::string(widths[0] - row.cells[0].size(), ' ') << "  " << row.cells[1]
            << std::string(widths[1] - row.cells[1].size(), ' ');
        for (std::size_t column = 2; column < widths.size(); ++column) {
            out << "  " << rightAligned(row.cells[column], widths[column]);
        }
        out << "  " << row.what << '\n';
    }
}

void writeHistoryJson(std::ostream& out, std::span<const RunRecord> runs) {
    out << "{\"runs\": [";
    const char* separator = "\n  ";
    for (const RunRecord& run : runs) {
        out << separator << "{\"id\": " << run.id << ", \"started\": " << jsonDate(run.startedAt)
            << ", \"started_local\": " << jsonString(localText(run.startedAt))
            << ", \"action\": " << jsonString(run.action) << ", \"settings\": " << jsonString(run.settings)
            << ", \"kind\": \"" << kindName(run)
            << "\", \"restores\": " << (run.restores ? std::to_string(*run.restores) : "null")
            << ", \"items\": " << run.itemCount << ", \"changed\": " << run.changed
            << ", \"failed\": " << run.failed << ", \"handled\": " << run.handled
            << ", \"complete\": " << (run.complete ? "true" : "false")
            << ", \"interrupted\": " << (run.interrupted ? "true" : "false") << '}';
        separator = ",\n  ";
    }
    out << "]}\n";
}

}  // namespace vellumark::cli
