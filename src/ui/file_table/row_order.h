#pragma once

#include "app_model/large_blocks.h"
#include "model/action_config.h"
#include "model/date.h"
#include "model/file_item.h"
#include "model/uuid.h"

#include <QCollatorSortKey>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace vellumark::file_table {

// What the rows are ordered by: the list's own order, or the values of one column. The date columns sort
// by the dates the items have now, or by the dates the action would leave.
enum class SortKey { listOrder, name, folder, creation, modification, newCreation, newModification };

// How the table shows the list: in which order, and which items (those whose name contains `filter`,
// ignoring case; every item while it is empty).
struct OrderChoice {
    SortKey key = SortKey::listOrder;
    bool descending = false;
    QString filter;

    bool showsList() const { return key == SortKey::listOrder && filter.isEmpty(); }
    friend bool operator==(const OrderChoice&, const OrderChoice&) = default;
};

// The name a row shows, of a path's bytes: "notes.txt" of "/home/ada/notes.txt", "Trip" of
// "/home/ada/Trip/"; the whole path where it has no last component ("/").
std::string_view nameOf(std::string_view path);

// The folder a row shows: "/home/ada" of "/home/ada/notes.txt", "/" of "/notes.txt", empty for a bare name.
std::string_view folderOf(std::string_view path);

// Tells the names that contain a text, ignoring case, as the rows show them (through visibleText()).
// Names in printable ASCII, nearly all of them, are compared without making a QString.
class NameFilter {
public:
    explicit NameFilter(const QString& text);

    bool matches(std::string_view name) const;

private:
    QString folded_;
    // The folded text where it is printable ASCII: then only ASCII letters have other cases to match.
    std::optional<std::string> ascii_;
};

// Texts by list position, in one buffer: a million short strings without a million allocations.
class TextColumn {
public:
    void reserve(std::size_t count, std::size_t bytes);
    void append(std::string_view text);
    std::string_view at(std::size_t position) const;
    std::size_t size() const { return ends_.size(); }
    // Keeps the texts whose `kept` entry is set, in order.
    void keep(const std::vector<bool>& kept);

private:
    std::string bytes_;
    std::vector<std::size_t> ends_;
};

// What ordering reads of the list, copied by list position so that the ordering can run on another
// thread while the list goes on changing: each item's id, and only the values `choice` needs.
struct RowSource {
    explicit RowSource(const OrderChoice& choice);

    // Whether this source holds what `choice` reads.
    bool serves(const OrderChoice& choice) const;
    std::size_t size() const { return ids.size(); }
    // Room for `count` items, so that copying a million does not move what was copied again and again.
    void reserve(std::size_t count);
    // Copies what the order reads of `items`; `config` and `now` plan the new dates.
    void append(std::span<const FileItem> items, const ActionConfig& config, Date now);
    // Keeps the positions whose `kept` entry is set, as the list keeps its items when others leave it.
    void keep(const std::vector<bool>& kept);

    bool names;
    bool folders;
    SortKey dates;  // the date key it holds, or listOrder for none
    std::vector<Uuid> ids;
    TextColumn nameTexts;
    TextColumn folderTexts;
    std::vector<std::optional<Date>> dateValues;
    // Collation keys of names, made as the ordering needs them and kept for the next one.
    std::vector<std::optional<QCollatorSortKey>> nameKeys;
};

// The rows for a choice: list positions in row order, with their ids, and the ids of the items the filter
// hides. Incomplete when the work was stopped.
struct RowOrder {
    bool complete = false;
    LargeVector<std::uint32_t> positions;
    LargeVector<Uuid> ids;
    std::vector<Uuid> hidden;
};

// Filters, then sorts, the source's positions. Equal values keep list order, in both directions. Names
// collate as the user's language orders them, digits by their numeric value ("f2" before "f10");
// missing dates come first when ascending.
RowOrder orderRows(RowSource& source, const OrderChoice& choice, const std::stop_token& stop);

}  // namespace vellumark::file_table
