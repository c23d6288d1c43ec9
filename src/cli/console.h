#pragma once

#include "app_model/app_model.h"
#include "app_model/hand_back_queue.h"
#include "app_model/open_panel.h"
#include "cli/command_line.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace vellumark::cli {

// Exit statuses: every write succeeded or there was nothing to do; some failed, were left as they are or
// were not attempted, or the journal stood in the way; the command line cannot be followed.
inline constexpr int kAllWritten = 0;
inline constexpr int kSomeFailed = 1;
inline constexpr int kUsageError = 2;

// The command line never shows a chooser.
class NoOpenPanel final : public OpenPanel {
public:
    std::optional<std::vector<std::filesystem::path>> runModal(const OpenPanelOptions& /*options*/) override {
        return std::nullopt;
    }
};

// Says why on standard error, with the usage line; returns kUsageError.
int usageError(std::string_view message);

// Whether the changes can be confirmed, or need not be: --yes, --dry-run, or a terminal to ask on.
bool canConfirm(const CommandLine& line);
// The refusal when they cannot; returns kUsageError.
int refuseUnconfirmable();

// Asks `question` followed by " [y/N] " on standard error; true for a yes on standard input.
bool confirmed(std::string_view question);

// Calls `start`, which begins a run of `model` on its worker thread, and runs what it hands back until it
// ends, while this thread watches for Ctrl+C (the run then stops after the item at hand) and, on a
// terminal, shows on standard error how far the run has come: "Applying… 120 of 4000".
void watchRun(AppModel& model, HandBackQueue& owner, const std::function<void()>& start,
              std::string_view doing);

// Tells on standard error why a run did not start or stopped because of the journal at `journalPath`;
// true when it did either.
bool reportJournalTrouble(const ProcessResult& result, std::string_view journalPath);

// The end of a run's report: each error on standard error and, unless `json`, the result's summary on
// standard output. Returns the exit status the run earned.
int reportResult(const ProcessResult& result, bool json, bool journalTrouble);

}  // namespace vellumark::cli
