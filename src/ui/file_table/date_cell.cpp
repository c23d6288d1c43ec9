#include "ui/file_table/date_cell.h"

#include "model/planner.h"
#include "ui/file_table/date_text.h"

namespace vellumark::file_table {

DateCell::DateCell(std::optional<Date> current, std::optional<Date> newDate)
    : current_(current), new_(newDate), changed_(!datesMatch(current, newDate)) {}

QList<DateCellLine> dateCellLines(const DateCell& cell) {
    if (!cell.changed()) {
        return {{dateText(cell.current()), DateCellLine::Style::primary}};
    }
    return {{dateText(cell.current()), DateCellLine::Style::superseded},
            {dateText(cell.newDate()), DateCellLine::Style::accent}};
}

}  // namespace vellumark::file_table
