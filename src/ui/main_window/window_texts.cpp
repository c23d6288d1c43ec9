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
    if (result.journalFailure) {
        return "No date was changed: the journal cannot be written (" + visibleText(*result.journalFailure) +
               ").";
    }
    std::string summary =
        std::to_string(result.succeeded) + (result.succeeded == 1 ? " item" : " items") + " changed.";
    for (const KeptCreation& kept : result.keptCreation) {
        summary += "\n" + keptCreationLine(kept).toStdString();
    }
    if (result.notAttempted > 0) {
        summary += "\n" + std::to_string(result.notAttempted) +
                   (result.notAttempted == 1 ? " item was" : " items were") +
                   (result.journalStopped ? " not attempted." : " not attempted: the run was cancelled.");
    }
    if (result.journalStopped) {
        summary += "\nThe journal could no longer be written (" + visibleText(*result.journalStopped) +
                   "): the run stopped there, and what it changed can be undone.";
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
    if (result.journalFailure) {
        return tr("Nothing Changed");
    }
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

QString confirmationMessage(const PlanSummary& summary, bool undoable) {
    QString message = undoable ? tr("This will modify file dates on disk. Edit ▸ Undo puts them back.")
                               : tr("This will modify file dates on disk. This cannot be undone.");
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

QString countText(std::size_t changeCount, std::size_t itemCount, std::size_t hiddenCount) {
    QString count = tr("%1 of %2 will change")
                        .arg(static_cast<qulonglong>(changeCount))
                        .arg(static_cast<qulonglong>(itemCount));
    if (hiddenCount == 0) {
        return count;
    }
    return count + QLatin1Char(' ') +
           tr("· %1 hidden by the filter").arg(static_cast<qulonglong>(hiddenCount));
}

namespace {

QString quotedAction(const RunRecord& run) {
    return QStringLiteral("“%1”").arg(QString::fromStdString(run.action));
}

std::int64_t restoredCount(const RunRecord& run) {
    return run.complete && !run.interrupted ? run.changed : run.itemCount;
}

QString itemsText(std::int64_t count) {
    const QString number = QLocale().toString(static_cast<qlonglong>(count));
    return count == 1 ? tr("1 item") : tr("%1 items").arg(number);
}

}  // namespace

QString undoText(const RunRecord& run) {
    return tr("Undo %1").arg(quotedAction(run));
}

QString redoText(const RunRecord& run) {
    return tr("Redo %1").arg(quotedAction(run));
}

toolkit::ConfirmationTexts restoreConfirmation(const RunRecord& run, bool newest) {
    const QString items = itemsText(restoredCount(run));
    const QString leftAlone = tr("Items whose dates were changed since are left as they are.");
    if (newest && run.isUndo()) {
        return {tr("Redo %1 on %2?").arg(quotedAction(run), items),
                tr("The items get the dates %1 gave them again. %2").arg(quotedAction(run), leftAlone),
                tr("Redo"), tr("Cancel")};
    }
    if (newest) {
        return {tr("Undo %1 on %2?").arg(quotedAction(run), items),
                tr("The items get back the dates they had before. %1").arg(leftAlone), tr("Undo"),
                tr("Cancel")};
    }
    return {tr("Restore the dates from before this run on %1?").arg(items),
            tr("%1\n\nThe items get back the dates they had before it. %2").arg(historyWhat(run), leftAlone),
            tr("Restore"), tr("Cancel")};
}

toolkit::ConfirmationTexts journalFailureQuestion(const std::string& reason) {
    return {
        tr("The journal cannot be written"),
        tr("No date was changed. Every run is written down first, so that it can be undone, and the journal "
           "cannot be written: %1.\n\nChange the dates without a way to undo them?")
            .arg(QString::fromStdString(visibleText(reason))),
        tr("Change Without Undo"), tr("Cancel")};
}

toolkit::ConfirmationTexts recoveryQuestion(const RunRecord& run) {
    const QLocale locale;
    return {
        tr("The last run was interrupted after %1 of %2 items. Restore their previous dates?")
            .arg(locale.toString(static_cast<qlonglong>(run.handled)),
                 locale.toString(static_cast<qlonglong>(run.itemCount))),
        tr("%1\n\nItems whose dates were changed since are left as they are. History in the File menu can "
           "restore it later too.")
            .arg(historyWhat(run)),
        tr("Restore"), tr("Not Now")};
}

QString historyWhat(const RunRecord& run) {
    QString what = quotedAction(run);
    if (run.depth > 0) {
        what = (run.isUndo() ? tr("Undo of %1") : tr("Redo of %1")).arg(what);
    }
    if (!run.settings.empty()) {
        what += QStringLiteral(" · ") + QString::fromStdString(run.settings);
    }
    if (run.interrupted || !run.complete) {
        what += QStringLiteral(" · ") + tr("interrupted");
    }
    return what;
}

}  // namespace vellumark
