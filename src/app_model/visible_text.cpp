#include "app_model/visible_text.h"

#include "app_model/utf8.h"

namespace vellumark {

namespace {

char32_t codePointOf(std::string_view sequence) {
    const auto lead = static_cast<unsigned char>(sequence[0]);
    if (sequence.size() == 1) {
        return lead;
    }
    char32_t value = lead & (0x7Fu >> sequence.size());
    for (const char trailing : sequence.substr(1)) {
        value = (value << 6) | (static_cast<unsigned char>(trailing) & 0x3Fu);
    }
    return value;
}

bool isHidingCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F || c == 0x2028 ||
           c == 0x2029 || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

void appendEscape(std::string& text, char32_t c) {
    switch (c) {
        case '\t':
            text += "\\t";
            return;
        case '\n':
            text += "\\n";
            return;
        case '\r':
            text += "\\r";
            return;
        default:
            break;
    }
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    text += "\\u";
    for (int shift = 12; shift >= 0; shift -= 4) {
        text += kDigits[(c >> shift) & 0xFu];
    }
}

}  // namespace

std::string visibleText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    appendVisibleText(text, bytes);
    return text;
}

void appendVisibleText(std::string& text, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        // Printable ASCII, most of any name, is taken a run at a time.
        const std::size_t plain = i;
        while (i < bytes.size() && bytes[i] >= 0x20 && bytes[i] < 0x7F) {
            ++i;
        }
        text.append(bytes, plain, i - plain);
        if (i == bytes.size()) {
            break;
        }
        const Utf8Step step = nextUtf8(bytes, i);
        const std::string_view sequence = bytes.substr(i, step.length);
        i += step.length;
        if (!step.isValid) {
            text += "\uFFFD";
        } else if (const char32_t c = codePointOf(sequence); isHidingCharacter(c)) {
            appendEscape(text, c);
        } else {
            text += sequence;
        }
    }
}

}  // namespace vellumark
