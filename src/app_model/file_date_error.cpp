#include "app_model/file_date_error.h"

#include "app_model/utf8.h"

#include <string_view>

namespace vellumark {

namespace {

// The last path component as the platform names it: "/a/b/" gives "b", "/" gives "/".
std::string_view lastPathComponent(std::string_view path) {
    const std::size_t end = path.find_last_not_of('/');
    if (end == std::string_view::npos) {
        return path.empty() ? path : std::string_view("/");
    }
    const std::size_t slash = path.rfind('/', end);
    const std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
    return path.substr(start, end + 1 - start);
}

// File names are bytes; shown as text, each ill-formed sequence becomes U+FFFD.
void appendAsText(std::string& text, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const Utf8Step step = nextUtf8(bytes, i);
        text.append(step.isValid ? bytes.substr(i, step.length) : std::string_view("\uFFFD"));
        i += step.length;
    }
}

}  // namespace

std::string FileDateError::description() const {
    std::string text = "Could not change dates for \u201C";
    appendAsText(text, lastPathComponent(url.native()));
    text.append("\u201D: ");
    text.append(underlying);
    return text;
}

}  // namespace vellumark
