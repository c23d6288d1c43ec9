#include "ui/file_table/row_order.h"

#include "app_model/visible_text.h"
#include "model/planner.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <numeric>

namespace vellumark::file_table {

namespace {

// How many positions the ordering handles between two looks at its stop token.
constexpr std::size_t kStopCheckInterval = 4096;

bool isPrintableAscii(char byte) {
    return byte >= 0x20 && byte <= 0x7E;
}

std::string_view withoutTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

QString shownText(std::string_view bytes) {
    return QString::fromStdString(visibleText(bytes));
}

// The user's language orders names; where the system names none (the C locale, which would compare code
// points), the common root order of every language does.
QCollator nameCollator() {
    QLocale locale;
    if (locale.language() == QLocale::C) {
        locale = QLocale(QLocale::English);
    }
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// -1, 0 or 1 as `a` sorts before, with or after `b`; an absent date before any date.
int compareDates(const std::optional<Date>& a, const std::optional<Date>& b) {
    if (a.has_value() != b.has_value()) {
        return a.has_value() ? 1 : -1;
    }
    if (!a) {
        return 0;
    }
    return *a < *b ? -1 : (*b < *a ? 1 : 0);
}

// Sorts `positions` by `compare` (three-way, of two positions) in the choice's direction; equal values keep
// their list order either way.
template <typename Compare>
void sortPositions(LargeVector<std::uint32_t>& positions, bool descending, Compare compare) {
    std::sort(positions.begin(), positions.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int order = compare(a, b);
        if (order != 0) {
            return descending ? order > 0 : order < 0;
        }
        return a < b;
    });
}

// By folder: items of one folder mostly follow each other in the list, so each run of them gets one
// collation key, and the rows sort by the rank of their folder's key.
void sortByFolder(const RowSource& source, LargeVector<std::uint32_t>& positions, bool descending) {
    QCollator collator = nameCollator();
    std::vector<QCollatorSortKey> keys;
    std::vector<std::uint32_t> run(source.size());
    std::string_view previous;
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const std::string_view folder = source.folderTexts.at(positions[i]);
        if (keys.empty() || folder != previous) {
            keys.push_back(collator.sortKey(shownText(folder)));
            previous = folder;
        }
        run[positions[i]] = static_cast<std::uint32_t>(keys.size() - 1);
    }
    std::vector<std::uint32_t> byKey(keys.size());
    std::iota(byKey.begin(), byKey.end(), 0U);
    std::sort(byKey.begin(), byKey.end(),
              [&](std::uint32_t a, std::uint32_t b) { return keys[a].compare(keys[b]) < 0; });
    // Runs of the same folder share a rank, so that their items interleave by list position.
    std::vector<std::uint32_t> rank(keys.size());
    for (std::size_t i = 0; i < byKey.size(); ++i) {
        const bool same = i > 0 && keys[byKey[i]].compare(keys[byKey[i - 1]]) == 0;
        rank[byKey[i]] = same ? rank[byKey[i - 1]] : static_cast<std::uint32_t>(i);
    }
    sortPositions(positions, descending, [&](std::uint32_t a, std::uint32_t b) {
        const std::uint32_t rankA = rank[run[a]];
        const std::uint32_t rankB = rank[run[b]];
        return rankA < rankB ? -1 : (rankA > rankB ? 1 : 0);
    });
}

// Makes the collation keys of the names at `positions` that the source lacks; false when stopped.
bool makeNameKeys(RowSource& source, const LargeVector<std::uint32_t>& positions,
                  const std::stop_token& stop) {
    QCollator collator = nameCollator();
    source.nameKeys.resize(source.size());
    for (std::size_t i = 0; i < positions.size(); ++i) {
        if (i % kStopCheckInterval == 0 && stop.stop_requested()) {
            return false;
        }
        std::optional<QCollatorSortKey>& key = source.nameKeys[positions[i]];
        if (!key) {
            key = collator.sortKey(shownText(source.nameTexts.at(positions[i])));
        }
    }
    return true;
}

}  // namespace

std::string_view nameOf(std::string_view path) {
    const std::string_view trimmed = withoutTrailingSlashes(path);
    const std::size_t slash = trimmed.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? trimmed : trimmed.substr(slash + 1);
    return name.empty() ? path : name;
}

std::string_view folderOf(std::string_view path) {
    const std::string_view trimmed = withoutTrailingSlashes(path);
    const std::size_t slash = trimmed.rfind('/');
    if (slash == std::string_view::npos || trimmed == "/") {
        return {};
    }
    return slash == 0 ? trimmed.substr(0, 1) : withoutTrailingSlashes(trimmed.substr(0, slash));
}

NameFilter::NameFilter(const QString& text) : folded_(text.toCaseFolded()) {
    std::string ascii;
    for (const QChar character : folded_) {
        if (character.unicode() > 0x7E || !isPrintableAscii(static_cast<char>(character.unicode()))) {
            return;
        }
        ascii.push_back(static_cast<char>(character.unicode()));
    }
    ascii_ = std::move(ascii);
}

bool NameFilter::matches(std::string_view name) const {
    if (folded_.isEmpty()) {
        return true;
    }
    if (!std::all_of(name.begin(), name.end(), isPrintableAscii)) {
        return shownText(name).contains(folded_, Qt::CaseInsensitive);
    }
    // A printable ASCII name shows as it is and folds to ASCII: a text with other characters is not in it.
    if (!ascii_) {
        return false;
    }
    const auto lower = [](char byte) {
        return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte + 32) : byte;
    };
    return std::search(name.begin(), name.end(), ascii_->begin(), ascii_->end(),
                       [&](char a, char b) { return lower(a) == b; }) != name.end();
}

void TextColumn::reserve(std::size_t count, std::size_t bytes) {
    ends_.reserve(count);
    bytes_.reserve(bytes);
}

void TextColumn::append(std::string_view text) {
    bytes_.append(text);
    ends_.push_back(bytes_.size());
}

std::string_view TextColumn::at(std::size_t position) const {
    const std::size_t begin = position == 0 ? 0 : ends_[position - 1];
    return std::string_view(bytes_).substr(begin, ends_[position] - begin);
}

void TextColumn::keep(const std::vector<bool>& kept) {
    std::size_t written = 0;
    std::size_t begin = 0;
    std::size_t count = 0;
    for (std::size_t position = 0; position < ends_.size(); ++position) {
        const std::size_t end = ends_[position];
        if (kept[position]) {
            // Never ahead of what it copies: moving forward within the buffer is safe.
            std::copy(bytes_.begin() + static_cast<std::ptrdiff_t>(begin),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(end),
                      bytes_.begin() + static_cast<std::ptrdiff_t>(written));
            written += end - begin;
            ends_[count++] = written;
        }
        begin = end;
    }
    bytes_.resize(written);
    ends_.resize(count);
}

RowSource::RowSource(const OrderChoice& choice)
    : names(!choice.filter.isEmpty() || choice.key == SortKey::name),
      folders(choice.key == SortKey::folder),
      dates(choice.key == SortKey::name || choice.key == SortKey::folder ? SortKey::listOrder : choice.key) {}

bool RowSource::serves(const OrderChoice& choice) const {
    const RowSource needed(choice);
    return (names || !needed.names) && (folders || !needed.folders) &&
           (needed.dates == SortKey::listOrder || needed.dates == dates);
}

void RowSource::reserve(std::size_t count) {
    // Names are short; folders longer, and mostly shared.
    constexpr std::size_t kNameBytes = 24;
    constexpr std::size_t kFolderBytes = 48;
    ids.reserve(count);
    if (names) {
        nameTexts.reserve(count, count * kNameBytes);
    }
    if (folders) {
        folderTexts.reserve(count, count * kFolderBytes);
    }
    if (dates != SortKey::listOrder) {
        dateValues.reserve(count);
    }
}

void RowSource::append(std::span<const FileItem> items, const ActionConfig& config, Date now) {
    for (const FileItem& item : items) {
        ids.push_back(item.id());
        if (names) {
            nameTexts.append(nameOf(item.path()));
        }
        if (folders) {
            folderTexts.append(folderOf(item.path()));
        }
        switch (dates) {
            case SortKey::creation:
                dateValues.push_back(item.creationDate);
                break;
            case SortKey::modification:
                dateValues.push_back(item.modificationDate);
                break;
            case SortKey::newCreation:
                dateValues.push_back(planDates(item, config, now).newCreation);
                break;
            case SortKey::newModification:
                dateValues.push_back(planDates(item, config, now).newModification);
                break;
            case SortKey::listOrder:
            case SortKey::name:
            case SortKey::folder:
                break;
        }
    }
}

void RowSource::keep(const std::vector<bool>& kept) {
    const auto keepIn = [&kept](auto& values) {
        std::size_t count = 0;
        for (std::size_t position = 0; position < values.size(); ++position) {
            if (kept[position]) {
                values[count++] = std::move(values[position]);
            }
        }
        values.resize(count);
    };
    keepIn(ids);
    keepIn(dateValues);
    nameKeys.resize(std::min(nameKeys.size(), kept.size()));
    keepIn(nameKeys);
    if (names) {
        nameTexts.keep(kept);
    }
    if (folders) {
        folderTexts.keep(kept);
    }
}

RowOrder orderRows(RowSource& source, const OrderChoice& choice, const std::stop_token& stop) {
    RowOrder order;
    LargeVector<std::uint32_t>& positions = order.positions;
    positions.reserve(source.size());
    if (choice.filter.isEmpty()) {
        positions.resize(source.size());
        std::iota(positions.begin(), positions.end(), 0U);
    } else {
        const NameFilter filter(choice.filter);
        for (std::size_t position = 0; position < source.size(); ++position) {
            if (position % kStopCheckInterval == 0 && stop.stop_requested()) {
                return order;
            }
            if (filter.matches(source.nameTexts.at(position))) {
                positions.push_back(static_cast<std::uint32_t>(position));
            } else {
                order.hidden.push_back(source.ids[position]);
            }
        }
    }
    switch (choice.key) {
        case SortKey::listOrder:
            break;
        case SortKey::name:
            if (!makeNameKeys(source, positions, stop)) {
                return order;
            }
            sortPositions(positions, choice.descending, [&](std::uint32_t a, std::uint32_t b) {
                return source.nameKeys[a]->compare(*source.nameKeys[b]);
            });
            break;
        case SortKey::folder:
            sortByFolder(source, positions, choice.descending);
            break;
        case SortKey::creation:
        case SortKey::modification:
        case SortKey::newCreation:
        case SortKey::newModification:
            sortPositions(positions, choice.descending, [&](std::uint32_t a, std::uint32_t b) {
                return compareDates(source.dateValues[a], source.dateValues[b]);
            });
            break;
    }
    if (stop.stop_requested()) {
        return order;
    }
    order.ids.reserve(positions.size());
    for (const std::uint32_t position : positions) {
        order.ids.push_back(source.ids[position]);
    }
    order.complete = true;
    return order;
}

}  // namespace vellumark::file_table
