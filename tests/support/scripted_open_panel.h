#pragma once

#include "app_model/open_panel.h"

#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

namespace vellumark::testing {

// Answers each runModal with the next scripted answer (nullopt, or none left: cancelled) and keeps the
// options it was asked with.
class ScriptedOpenPanel final : public OpenPanel {
public:
    void willAnswer(std::optional<std::vector<std::filesystem::path>> answer) {
        answers_.push_back(std::move(answer));
    }

    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& options) override;

    std::vector<OpenPanelOptions> asked;

private:
    std::deque<std::optional<std::vector<std::filesystem::path>>> answers_;
};

}  // namespace vellumark::testing
