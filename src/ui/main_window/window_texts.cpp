#include "ui/main_window/window_texts.h"

#include <QCoreApplication>

#include <algorithm>

namespace vellumark {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("ContentView", text);
}

constexpr std::size_t kListedErrors = 5;

}  // namespace

std::string resultSummary(const ProcessResult& result) {
    std::string summary =
        std::to_string(result.succeeded) + (result.succeeded == 1 ? " item" : " items") + " changed.";
    if (result.failed > 0) {
        summary += "\n" + std::to_string(result.failed) + " failed.";
        const auto listed = std::min(result.errors.size(), kListedErrors);
        for (std::size_t i = 0; i < listed; ++i) {
            summary += "\n" + result.errors[i];
        }
    }
    return summary;
}

QString resultTitle(const ProcessResult& result) {
    return result.failed != 0 ? tr("Completed with errors") : tr("Done");
}

QString confirmationTitle(std::size_t changeCount) {
    // QString::arg with a plain %1 never groups digits.
    return (changeCount == 1 ? tr("Apply changes to %1 item?") : tr("Apply changes to %1 items?"))
        .arg(static_cast<qulonglong>(changeCount));
}

QString countText(std::size_t changeCount, std::size_t itemCount) {
    return tr("%1 of %2 will change")
        .arg(static_cast<qulonglong>(changeCount))
        .arg(static_cast<qulonglong>(itemCount));
}

}  // namespace vellumark
