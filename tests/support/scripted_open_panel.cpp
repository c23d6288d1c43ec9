#include "support/scripted_open_panel.h"

namespace vellumark::testing {

std::optional<std::vector<std::filesystem::path>> ScriptedOpenPanel::runModal(
    const OpenPanelOptions& options) {
    asked.push_back(options);
    std::optional<std::vector<std::filesystem::path>> answer;
    if (!answers_.empty()) {
        answer.swap(answers_.front());
        answers_.pop_front();
    }
    return answer;
}

}  // namespace vellumark::testing
