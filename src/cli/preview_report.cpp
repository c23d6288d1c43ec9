#include "cli/preview_report.h"

#include "app_model/date_reasons.h"
#include "app_model/utf8.h"
#include "app_model/visible_text.h"
#include "model/planner.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vellumark::cli {

namespace {

std::string dateText(const std::optional<Date>& date) {
    if (!date) {
        return "none";
    }
    // As the window shows the date that "remove" writes.
    return *date == removedDateMarker() ? "-----" : utcText(*date);
}

std::string newDateText(const std::optional<Date>& date, DateFate fate, const VolumeCapabilities& volume) {
    switch (fate) {
        case DateFate::unchanged:
            return "unchanged";
        case DateFate::changes:
            return dateText(date);
        case DateFate::kept:
            return "kept (" + fileSystemName(volume) + ")";
        case DateFate::notStorable:
            return "not storable";
    }
    return {};
}

std::string padded(std::string text, std::size_t width) {
    text.resize(std::max(text.size(), width), ' ');
    return text;
}

// Valid UTF-8 with every quote, backslash and control escaped; ill-formed sequences become U+FFFD.
std::string jsonString(std::string_view bytes) {
    std::string text = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Step step = nextUtf8(bytes, i);
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (!step.isValid) {
            text += "\xEF\xBF\xBD";
        } else if (byte == '"' || byte == '\\') {
            text += '\\';
            text += static_cast<char>(byte);
        } else if (byte < 0x20 || byte == 0x7F) {
            std::array<char, 8> escape{};
            std::snprintf(escape.data(), escape.size(), "\\u%04X", static_cast<unsigned>(byte));
            text += escape.data();
        } else {
            text.append(bytes.substr(i, step.length));
        }
        i += step.length;
    }
    return text + "\"";
}

std::string hexBytes(std::string_view bytes) {
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4U];
        hex += kDigits[byte & 0xFU];
    }
    return hex;
}

// "2019-03-15T13:30:00.25Z", from the UTC text the rest of the program shows.
std::string jsonDate(const std::optional<Date>& date) {
    if (!date) {
        return "null";
    }
    std::string text = utcText(*date);
    text.resize(text.size() - std::string_view(" UTC").size());
    text[text.rfind(' ')] = 'T';
    return "\"" + text + "Z\"";
}

void writeJsonDate(std::ostream& out, std::string_view name, const std::optional<Date>& current,
                   const std::optional<Date>& planned, DateFate fate) {
    out << '"' << name << "\": {\"current\": " << jsonDate(current) << ", \"new\": " << jsonDate(planned)
        << ", \"fate\": \"" << fateName(fate) << "\"}";
}

std::string itemsText(std::int64_t count) {
    return std::to_string(count) + (count == 1 ? " item" : " items");
}

}  // namespace

void writePreview(std::ostream& out, std::span<const FileItem> items, std::span<const PlannedDates> plan) {
    for (std::size_t i = 0; i < items.size() && i < plan.size(); ++i) {
        const FileItem& item = items[i];
        const PlannedDates& dates = plan[i];
        const VolumeCapabilities& volume = *item.volume;
        const std::string creation = dateText(item.creationDate);
        const std::string modification = dateText(item.modificationDate);
        const std::size_t width = std::max(creation.size(), modification.size());
        out << visibleText(item.path()) << "\n  creation      " << padded(creation, width) << "  ->  "
            << newDateText(dates.newCreation, dates.creationFate, volume) << "\n  modification  "
            << padded(modification, width) << "  ->  "
            << newDateText(dates.newModification, dates.modificationFate, volume) << '\n';
    }
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
               std::size_t changing, const std::optional<ProcessResult>& result) {
    out << "{\"action\": " << jsonString(action) << ",\n \"total\": " << plan.size()
        << ",\n \"will_change\": " << changing << ",\n \"items\": [";
    const char* separator = "\n  ";
    for (const PlannedChange& change : plan) {
        const std::string& path = change.item.path();
        out << separator << "{\"path\": " << jsonString(path);
        if (!isValidUtf8(path)) {
            out << ", \"path_bytes_hex\": \"" << hexBytes(path) << '"';
        }
        out << ", \"file_system\": " << jsonString(change.item.volume->fileSystem) << ", ";
        writeJsonDate(out, "creation", change.item.creationDate, change.newCreation, change.creationFate);
        out << ", ";
        writeJsonDate(out, "modification", change.item.modificationDate, change.newModification,
                      change.modificationFate);
        out << '}';
        separator = ",\n  ";
    }
    out << "],\n \"applied\": " << (result ? "true" : "false") << ",\n \"result\": ";
    if (!result) {
        out << "null}\n";
        return;
    }
    out << "{\"succeeded\": " << result->succeeded << ", \"failed\": " << result->failed
        << ", \"not_attempted\": " << result->notAttempted << ", \"errors\": [";
    separator = "";
    for (const std::string& error : result->errors) {
        out << separator << jsonString(error);
        separator = ", ";
    }
    out << "]}}\n";
}

}  // namespace vellumark::cli
