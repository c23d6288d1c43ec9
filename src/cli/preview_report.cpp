#include "cli/preview_report.h"

#include "app_model/date_reasons.h"
#include "app_model/visible_text.h"
#include "cli/json_text.h"
#include "model/planner.h"

#include <algorithm>

namespace vellumark::cli {

namespace {

void appendNewDateText(std::string& to, const std::optional<Date>& date, DateFate fate,
                       const VolumeCapabilities& volume) {
    switch (fate) {
        case DateFate::unchanged:
            to += "unchanged";
            return;
        case DateFate::changes:
            appendDateText(to, date);
            return;
        case DateFate::kept:
            to += "kept (";
            to += fileSystemName(volume);
            to += ')';
            return;
        case DateFate::notStorable:
            to += "not storable";
            return;
    }
}

void appendPadded(std::string& to, const std::string& text, std::size_t width) {
    to += text;
    to.append(width > text.size() ? width - text.size() : 0, ' ');
}

void writeJsonDate(std::ostream& out, std::string_view name, const std::optional<Date>& current,
                   const std::optional<Date>& planned, DateFate fate) {
    out << '"' << name << "\": {\"current\": " << jsonDate(current) << ", \"new\": " << jsonDate(planned)
        << ", \"fate\": \"" << fateName(fate) << "\"}";
}

}  // namespace

std::string dateText(const std::optional<Date>& date) {
    std::string text;
    appendDateText(text, date);
    return text;
}

void appendDateText(std::string& to, const std::optional<Date>& date) {
    if (!date) {
        to += "none";
    } else if (*date == removedDateMarker()) {
        to += "-----";  // as the window shows the date that "remove" writes
    } else {
        appendUtcText(to, *date);
    }
}

std::string itemsText(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " item" : " items");
}

void writePreview(std::ostream& out, const ItemList& items, std::span<const PlannedDates> plan) {
    // Put together a block at a time and written at once: a preview of a million items is ten million
    // pieces of text, each a call of its own on a stream.
    constexpr std::size_t kBlock = std::size_t{64} << 10;
    std::string block;
    block.reserve(kBlock + 1024);
    std::string creation;
    std::string modification;
    for (std::size_t i = 0; i < items.size() && i < plan.size(); ++i) {
        const FileItem& item = items[i];
        const PlannedDates& dates = plan[i];
        const VolumeCapabilities& volume = *item.volume;
        creation.clear();
        appendDateText(creation, item.creationDate);
        modification.clear();
        appendDateText(modification, item.modificationDate);
        const std::size_t width = std::max(creation.size(), modification.size());
        appendVisibleText(block, item.path());
        block += "\n  creation      ";
        appendPadded(block, creation, width);
        block += "  ->  ";
        appendNewDateText(block, dates.newCreation, dates.creationFate, volume);
        block += "\n  modification  ";
        appendPadded(block, modification, width);
        block += "  ->  ";
        appendNewDateText(block, dates.newModification, dates.modificationFate, volume);
        block += '\n';
        if (block.size() >= kBlock) {
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
            block.clear();
        }
    }
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
}

std::string willChangeText(std::size_t changing, std::size_t total) {
    return std::to_string(changing) + " of " + std::to_string(total) + " will change.";
}

std::string resultText(const ProcessResult& result) {
    std::string text = itemsText(result.succeeded) + " changed, " + std::to_string(result.failed) + " failed";
    if (result.notAttempted > 0) {
        text += ", " + std::to_string(result.notAttempted) + " not attempted: the run was stopped";
    }
    return text + ".";
}

void writeJson(std::ostream& out, std::string_view action, std::span<const PlannedChange> plan,
               std::size_t changing, const std::optional<ProcessResult>& result,
               std::optional<std::int64_t> run) {
    out << "{\"action\": " << jsonString(action) << ",\n \"total\": " << plan.size()
        << ",\n \"will_change\": " << changing << ",\n \"items\": [";
    const char* separator = "\n  ";
    for (const PlannedChange& change : plan) {
        out << separator << '{';
        writeJsonPath(out, change.item.path());
        out << ", \"file_system\": " << jsonString(change.item.volume->fileSystem) << ", ";
        writeJsonDate(out, "creation", change.item.creationDate, change.newCreation, change.creationFate);
        out << ", ";
        writeJsonDate(out, "modification", change.item.modificationDate, change.newModification,
                      change.modificationFate);
        out << '}';
        separator = ",\n  ";
    }
    out << "],\n";
    writeJsonOutcome(out, result, run);
}

void writeJsonOutcome(std::ostream& out, const std::optional<ProcessResult>& result,
                      std::optional<std::int64_t> run) {
    out << " \"applied\": " << (result ? "true" : "false") << ",\n \"result\": ";
    if (!result) {
        out << "null}\n";
        return;
    }
    out << "{\"succeeded\": " << result->succeeded << ", \"failed\": " << result->failed
        << ", \"not_attempted\": " << result->notAttempted << ", \"errors\": [";
    const char* separator = "";
    for (const std::string& error : result->errors) {
        out << separator << jsonString(error);
        separator = ", ";
    }
    out << "], \"run\": " << (run ? std::to_string(*run) : "null") << "}}\n";
}

}  // namespace vellumark::cli
