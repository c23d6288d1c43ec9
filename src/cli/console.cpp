#include "cli/console.h"

#include "app_model/visible_text.h"
#include "cli/preview_report.h"

#include <chrono>
#include <csignal>
#include <iostream>
#include <string>
#include <unistd.h>

namespace vellumark::cli {

namespace {

// Set by Ctrl+C while a run is on; the run then stops after the item at hand.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterrupt(int /*signal*/) {
    interrupted = 1;
}

}  // namespace

int usageError(std::string_view message) {
    std::cerr << "vellumark-cli: " << message << '\n' << kUsageLine << '\n';
    return kUsageError;
}

bool canConfirm(const CommandLine& line) {
    return line.dryRun || line.assumeYes || isatty(STDIN_FILENO) != 0;
}

int refuseUnconfirmable() {
    return usageError(
        "standard input is not a terminal, so no one can confirm the changes; pass --yes to apply "
        "them without asking, or --dry-run to preview only");
}

bool confirmed(std::string_view question) {
    std::cerr << question << " [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

void watchRun(AppModel& model, HandBackQueue& owner, const std::function<void()>& start,
              std::string_view doing) {
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);
    const bool showProgress = isatty(STDERR_FILENO) != 0;
    auto lastShown = std::chrono::steady_clock::now();
    bool shown = false;

    start();
    owner.runUntil([&] {
        if (interrupted != 0) {
            model.cancel();
        }
        const auto now = std::chrono::steady_clock::now();
        if (showProgress && model.isBusy() && now - lastShown > std::chrono::milliseconds(200)) {
            std::cerr << '\r' << doing << ' ' << model.progress().done << " of " << model.progress().total
                      << (interrupted != 0 ? ", stopping" : "") << std::flush;
            lastShown = now;
            shown = true;
        }
        return !model.isBusy();
    });
    if (shown) {
        std::cerr << "\r\033[K" << std::flush;
    }
    sigaction(SIGINT, &previous, nullptr);
}

bool reportJournalTrouble(const ProcessResult& result, std::string_view journalPath) {
    if (result.journalFailure) {
        std::cerr << "vellumark-cli: nothing was changed: the journal " << visibleText(journalPath)
                  << " cannot be written: " << *result.journalFailure << '\n';
        return true;
    }
    if (result.journalStopped) {
        std::cerr << "vellumark-cli: the run stopped: the journal " << visibleText(journalPath)
                  << " could no longer be written: " << *result.journalStopped << '\n';
        return true;
    }
    return false;
}

int reportResult(const ProcessResult& result, bool json, bool journalTrouble) {
    for (const std::string& error : result.errors) {
        std::cerr << error << '\n';
    }
    if (!json) {
        std::cout << resultText(result) << '\n';
    }
    return result.failed > 0 || result.notAttempted > 0 || journalTrouble ? kSomeFailed : kAllWritten;
}

}  // namespace vellumark::cli
