#include "cli/json_text.h"

#include "app_model/utf8.h"

#include <array>
#include <cstdio>

namespace vellumark::cli {

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

std::string jsonDate(const std::optional<Date>& date) {
    if (!date) {
        return "null";
    }
    // From the UTC text the rest of the program shows.
    std::string text = utcText(*date);
    text.resize(text.size() - std::string_view(" UTC").size());
    text[text.rfind(' ')] = 'T';
    return "\"" + text + "Z\"";
}

void writeJsonPath(std::ostream& out, std::string_view path) {
    out << "\"path\": " << jsonString(path);
    if (isValidUtf8(path)) {
        return;
    }
    constexpr std::string_view kDigits = "0123456789abcdef";
    std::string hex;
    hex.reserve(path.size() * 2);
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        hex += kDigits[byte >> 4U];
        hex += kDigits[byte & 0xFU];
    }
    out << ", \"path_bytes_hex\": \"" << hex << '"';
}

}  // namespace vellumark::cli
