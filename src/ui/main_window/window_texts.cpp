#include "ui/main_window/window_texts.h"

#include "app_model/date_reasons.h"
#include "app_model/visible_text.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vellumark {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("ContentView", text);
}

constexpr std::size_t kListedFailureLines = 5;

// Failures that share a reason, in order of first appearance.
struct ReasonGroup {
    std::string_view reason;
    std::size_t first;  // index into the errors
    std::size_t items;
};

std::vector<ReasonGroup> groupByReason(const ProcessResult& result) {
    std::vector<ReasonGroup> groups;
    std::unordered_map<std::string_view, std::size_t> groupOf;
    for (std::size_t i = 0; i < result.errors.size(); ++i) {
        // A result made without bare reasons still lists each of its errors.
        const std::string_view reason =
            i < result.failedItems.size() ? result.failedItems[i].reason : result.errors[i];
        const auto [found, added] = groupOf.try_emplace(reason, groups.size());
        if (added) {
            groups.push_back({reason, i, 1});
        } else {
            ++groups[found->second].items;
        }
    }
    return groups;
}

}  // namespace

std::string resultSummary(const ProcessResult& result) {
    std::string summary =
        std::to_string(result.succeeded) + (result.succeeded == 1 ? " item" : " items") + " changed.";
    for (const KeptCreation& kept : result.keptCreation) {
        summary += "\n" + keptCreationLine(kept).toStdString();
    }
    if (result.notAttempted > 0) {
        summary += "\n" + std::to_string(result.notAttempted) +
                   (result.notAttempted == 1 ? " item was" : " items were") +
                   " not attempted: the run was cancelled.";
    }
    if (result.failed > 0) {
        summary += "\n" + std::to_string(result.failed) + " failed.";
        const std::vector<ReasonGroup> groups = groupByReason(result);
        const auto listed = std::min(groups.size(), kListedFailureLines);
        for (std::size_t i = 0; i < listed; ++i) {
            const ReasonGroup& group = groups[i];
            summary += "\n" + (group.items == 1
                                   ? visibleText(result.errors[group.first])
                                   : std::to_string(group.items) + " items: " + visibleText(group.reason));
        }
    }
    return summary;
}

QString resultDetails(const ProcessResult& result) {
    QStringList lines;
    lines.reserve(static_cast<qsizetype>(result.errors.size()));
    for (const std::string& error : result.errors) {
        lines.append(QString::fromStdString(visibleText(error)));
    }
    return lines.join(QLatin1Char('\n'));
}

QString resultTitle(const ProcessResult& result) {
    if (result.notAttempted != 0) {
        return tr("Cancelled");
    }
    return result.failed != 0 ? tr("Completed with errors") : tr("Done");
}

QString confirmationTitle(std::size_t changeCount) {
    // QString::arg with a plain %1 never groups digits.
    return (changeCount == 1 ? tr("Apply changes to %1 item?") : tr("Apply changes to %1 items?"))
        .arg(static_cast<qulonglong>(changeCount));
}

QString confirmationMessage(const PlanSummary& summary) {
    QString message = tr("This will modify file dates on disk. This cannot be undone.");
    if (summary.keptCreation.empty() && summary.refused == 0) {
        return message;
    }
    message += QLatin1Char('\n');
    for (const KeptCreation& kept : summary.keptCreation) {
        message += QLatin1Char('\n') + keptCreationLine(kept);
    }
    if (summary.refused > 0) {
        message += QLatin1Char('\n') +
                   (summary.refused == 1
                        ? tr("1 item has a date that cannot be stored; it will be reported as failed.")
                        : tr("%1 items have dates that cannot be stored; they will be reported as failed.")
                              .arg(static_cast<qulonglong>(summary.refused)));
    }
    return message;
}

QString keptCreationLine(const KeptCreation& kept) {
    VolumeCapabilities volume;
    volume.fileSystem = kept.fileSystem;
    const QString fileSystem = QString::fromStdString(fileSystemName(volume));
    return (kept.items == 1 ? tr("Creation dates cannot be changed on %1 and stay as they are on %2 item.")
                            : tr("Creation dates cannot be changed on %1 and stay as they are on %2 items."))
        .arg(fileSystem, QString::number(static_cast<qulonglong>(kept.items)));
}

QString progressText(Activity activity, const Progress& progress) {
    const QLocale locale;
    const QString done = locale.toString(static_cast<qulonglong>(progress.done));
    if (activity == Activity::applying) {
        return tr("Applying… %1 of %2").arg(done, locale.toString(static_cast<qulonglong>(progress.total)));
    }
    return progress.done == 1 ? tr("Adding… 1 item") : tr("Adding… %1 items").arg(done);
}

QString addRefusedText(Activity activity) {
    return activity == Activity::applying ? tr("Items can be added when the dates have been changed.")
                                          : tr("Items can be added when adding has finished.");
}

QString closeQuestionText(Activity activity, const Progress& progress) {
    const QLocale locale;
    if (activity == Activity::applying) {
        return tr("%1 of %2 items are done. Closing stops after the item at hand; the items not reached keep "
                  "their dates.")
            .arg(locale.toString(static_cast<qulonglong>(progress.done)),
                 locale.toString(static_cast<qulonglong>(progress.total)));
    }
    return tr("Closing stops adding. Nothing on the disk changes.");
}

QString countText(std::size_t changeCount, std::size_t itemCount) {
    return tr("%1 of %2 will change")
        .arg(static_cast<qulonglong>(changeCount))
        .arg(static_cast<qulonglong>(itemCount));
}

}  // namespace vellumark
