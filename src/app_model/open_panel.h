#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vellumark {

struct OpenPanelOptions {
    bool canChooseFiles = true;
    bool canChooseDirectories = true;
    bool allowsMultipleSelection = false;
    std::string message;
};

// A modal chooser of files and folders. The window supplies a real dialog; tests a scripted one.
class OpenPanel {
public:
    virtual ~OpenPanel() = default;

    // The chosen items in the panel's order, or nullopt when the user cancelled.
    virtual std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& options) = 0;
};

}  // namespace vellumark
