#include "ui/file_table/date_cell.h"

#include "app_model/date_reasons.h"
#include "model/planner.h"
#include "ui/toolkit/date_text.h"

#include <QCoreApplication>

namespace vellumark::file_table {

namespace {

QString tr(const char* text) {
    return QCoreApplication::translate("FileTableView", text);
}

// A date a shift left at an end of the range has no readable text.
QString refusedText(const DateCell& cell) {
    return passedRangeEnd(cell.newDate()) ? tr("Out of range") : toolkit::dateText(cell.newDate());
}

// "from 1901-12-13 to 2038-01-19", "from 1980-01-01", "until 2107-12-31": the volume's range to follow
// "keeps dates".
QString rangeText(const VolumeCapabilities& volume) {
    const QString range = QString::fromStdString(volume.rangeText());
    const bool closed = volume.earliest != Date::earliest() && volume.latest != Date::latest();
    return closed ? tr("from %1").arg(range) : range;
}

// A reason from the failure texts as a sentence of its own. A file system's name keeps its own case
// ("ext4"), whatever the reason starts with.
QString sentence(const std::string& reason, const VolumeCapabilities& volume) {
    QString text = QString::fromStdString(reason);
    if (!text.isEmpty() && (volume.fileSystem.empty() || !reason.starts_with(volume.fileSystem))) {
        text[0] = text[0].toUpper();
    }
    return text + QLatin1Char('.');
}

}  // namespace

DateCell::DateCell(std::optional<Date> current, std::optional<Date> newDate, DateFate fate, VolumeRef volume)
    : current_(current), new_(newDate), fate_(fate), volume_(volume) {}

QList<DateCellLine> dateCellLines(const DateCell& cell) {
    switch (cell.fate()) {
        case DateFate::unchanged:
            break;
        case DateFate::changes:
            return {{toolkit::dateText(cell.current()), DateCellLine::Style::superseded},
                    {toolkit::dateText(cell.newDate()), DateCellLine::Style::accent}};
        case DateFate::kept:
            return {{toolkit::dateText(cell.current()), DateCellLine::Style::kept}};
        case DateFate::notStorable:
            return {{toolkit::dateText(cell.current()), DateCellLine::Style::primary},
                    {refusedText(cell), DateCellLine::Style::refused}};
    }
    return {{toolkit::dateText(cell.current()), DateCellLine::Style::primary}};
}

QString dateCellToolTip(const DateCell& cell) {
    const VolumeCapabilities& volume = cell.volume();
    switch (cell.fate()) {
        case DateFate::kept:
            return sentence(keptCreationText(volume), volume);
        case DateFate::notStorable:
            if (passedRangeEnd(cell.newDate())) {
                return sentence(notStorableText(volume, *cell.newDate()), volume);
            }
            return tr("This date cannot be stored on %1, which keeps dates %2.")
                .arg(QString::fromStdString(fileSystemName(volume)), rangeText(volume));
        case DateFate::unchanged:
        case DateFate::changes:
            break;
    }
    return {};
}

QString dateCellAccessibleText(const DateCell& cell, const QString& column) {
    const QString current = toolkit::dateText(cell.current());
    QString state;
    switch (cell.fate()) {
        case DateFate::unchanged:
            state = tr("%1, unchanged").arg(current);
            break;
        case DateFate::changes:
            state = tr("%1, changes to %2").arg(current, toolkit::dateText(cell.newDate()));
            break;
        case DateFate::kept:
            state = tr("%1, kept: %2").arg(current, QString::fromStdString(keptCreationText(cell.volume())));
            break;
        case DateFate::notStorable: {
            const VolumeCapabilities& volume = cell.volume();
            state = passedRangeEnd(cell.newDate())
                        ? tr("%1, cannot change: %2")
                              .arg(current, QString::fromStdString(notStorableText(volume, *cell.newDate())))
                        : tr("%1, cannot change to %2: %3 keeps dates %4")
                              .arg(current, toolkit::dateText(cell.newDate()),
                                   QString::fromStdString(fileSystemName(volume)), rangeText(volume));
            break;
        }
    }
    return tr("%1: %2").arg(column, state);
}

}  // namespace vellumark::file_table
