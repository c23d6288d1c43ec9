#pragma once

#include <cstddef>
#include <string_view>

namespace vellumark {

struct Utf8Step {
    std::size_t length;  // bytes taken: the whole sequence, or its longest ill-formed start (at least 1)
    bool isValid;
};

// The UTF-8 sequence that starts at `text[i]`, checked strictly: no overlong forms, no surrogates,
// nothing above U+10FFFF.
constexpr Utf8Step nextUtf8(std::string_view text, std::size_t i) {
    const auto byte = [text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return {1, true};
    }
    std::size_t trailing = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trailing = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trailing = 2;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trailing = 3;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return {1, false};
    }
    for (std::size_t k = 1; k <= trailing; ++k) {
        if (i + k >= text.size()) {
            return {k, false};
        }
        const unsigned char b = byte(i + k);
        const bool fits = k == 1 ? (b >= low && b <= high) : (b >= 0x80 && b <= 0xBF);
        if (!fits) {
            return {k, false};
        }
    }
    return {trailing + 1, true};
}

constexpr bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Step step = nextUtf8(text, i);
        if (!step.isValid) {
            return false;
        }
        i += step.length;
    }
    return true;
}

}  // namespace vellumark
