#pragma once

#include "model/date.h"
#include "model/planned_change.h"
#include "model/volume_capabilities.h"

#include <QList>
#include <QMetaType>
#include <QString>

#include <optional>

namespace vellumark::file_table {

// One date column of one row: the date stored in the item, the date the planned change would leave (or
// the refused one), what applying would do to it, and the item's volume to say why.
class DateCell {
public:
    DateCell() = default;
    DateCell(std::optional<Date> current, std::optional<Date> newDate, DateFate fate, VolumeRef volume = {});

    const std::optional<Date>& current() const { return current_; }
    const std::optional<Date>& newDate() const { return new_; }
    DateFate fate() const { return fate_; }
    const VolumeCapabilities& volume() const { return *volume_; }
    bool changed() const { return fate_ == DateFate::changes; }

private:
    std::optional<Date> current_;
    std::optional<Date> new_;
    DateFate fate_ = DateFate::unchanged;
    VolumeRef volume_;
};

// What a cell shows, top to bottom, by fate:
//   unchanged    the current date alone, in the primary style
//   changes      the current date dimmed and struck through, above the new date in the accent colour
//   kept         the current date alone, quietly, with a lock
//   notStorable  the current date, above the refused date in the warning colour with a warning sign
struct DateCellLine {
    enum class Style { primary, superseded, accent, kept, refused };

    QString text;
    Style style;

    friend bool operator==(const DateCellLine&, const DateCellLine&) = default;
};

QList<DateCellLine> dateCellLines(const DateCell& cell);

// Why a date stays or cannot be written, as a sentence; empty where the cell needs no explanation.
//   "ext4 keeps the creation date itself; it cannot be changed."
QString dateCellToolTip(const DateCell& cell);

// The cell in words under its column's name, for assistive technologies, which read one line:
//   "Creation: Mar 5, 2024, 2:07:09 PM, changes to Mar 6, 2019, 2:30:00 PM"
//   "Modification: Mar 5, 2024, 2:07:09 PM, unchanged"
QString dateCellAccessibleText(const DateCell& cell, const QString& column);

}  // namespace vellumark::file_table

Q_DECLARE_METATYPE(vellumark::file_table::DateCell)
