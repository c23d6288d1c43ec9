#pragma once

#include <filesystem>
#include <string>

namespace vellumark {

// An item whose dates could not be written, with the file system's reason in plain words.
struct FileDateError {
    std::filesystem::path url;
    std::string underlying;

    // "Could not change dates for “notes.txt”: <underlying>", the name shown as visibleText() shows it:
    // "Could not change dates for “a\nb”: <underlying>" for a name with a line break.
    std::string description() const;
};

}  // namespace vellumark
