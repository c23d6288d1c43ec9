#include "app_model/file_date_error.h"

#include "app_model/visible_text.h"

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

}  // namespace

std::string FileDateError::description() const {
    std::string text = "Could not change dates for \u201C";
    text.append(visibleText(lastPathComponent(url.native())));
    text.append("\u201D: ");
    text.append(underlying);
    return text;
}

}  // namespace vellumark
