#include "journal/journal_records.h"

#include <array>
#include <cstdint>
#include <optional>
#include <type_traits>

namespace vellumark {

namespace {

enum EntryFlag : std::uint8_t {
    kIdentity = 1,
    kBeforeCreation = 2,
    kBeforeModification = 4,
    kPlannedCreation = 8,
    kPlannedModification = 16,
};

enum AfterFlag : std::uint8_t {
    kAfterCreation = 1,
    kAfterModification = 2,
};

constexpr auto kLastOutcome = static_cast<std::uint8_t>(EntryOutcome::leftAsIs);

template <typename T>
void put(std::string& records, T value) {
    using Bits = std::make_unsigned_t<T>;
    const auto bits = static_cast<Bits>(value);
    std::array<char, sizeof(Bits)> bytes{};
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        bytes[at] = static_cast<char>(bits >> (8 * at));
    }
    records.append(bytes.data(), bytes.size());
}

void putDate(std::string& records, const std::optional<Date>& date) {
    if (date) {
        put(records, date->seconds());
        put(records, date->nanoseconds());
    }
}

std::uint8_t flagIf(const std::optional<Date>& date, std::uint8_t flag) {
    return date ? flag : 0;
}

// Reads records front to back; every read past the end throws.
class RecordReader {
public:
    explicit RecordReader(std::string_view records) : rest_(records) {}

    template <typename T>
    T take() {
        using Bits = std::make_unsigned_t<T>;
        const std::string_view bytes = takeBytes(sizeof(Bits));
        Bits bits = 0;
        for (std::size_t at = 0; at < sizeof(Bits); ++at) {
            bits |= static_cast<Bits>(static_cast<Bits>(static_cast<unsigned char>(bytes[at])) << (8 * at));
        }
        return static_cast<T>(bits);
    }

    std::string_view takeBytes(std::size_t count) {
        if (count > rest_.size()) {
            throw JournalError("the journal is damaged: a record of a run is cut short");
        }
        const std::string_view bytes = rest_.substr(0, count);
        rest_.remove_prefix(count);
        return bytes;
    }

    std::optional<Date> takeDate(std::uint8_t flags, std::uint8_t flag) {
        if ((flags & flag) == 0) {
            return std::nullopt;
        }
        const auto seconds = take<std::int64_t>();
        const auto nanoseconds = take<std::int32_t>();
        if (nanoseconds < 0 || nanoseconds >= Date::kNanosecondsPerSecond) {
            throw JournalError("the journal is damaged: a date of a run is out of range");
        }
        return Date::fromParts(seconds, nanoseconds);
    }

private:
    std::string_view rest_;
};

}  // namespace

void appendEntry(std::string& records, const JournalEntry& entry) {
    put(records, static_cast<std::uint32_t>(entry.path.size()));
    records += entry.path;
    put(records, static_cast<std::uint8_t>((entry.identity ? kIdentity : 0) |
                                           flagIf(entry.before.creationDate, kBeforeCreation) |
                                           flagIf(entry.before.modificationDate, kBeforeModification) |
                                           flagIf(entry.planned.creationDate, kPlannedCreation) |
                                           flagIf(entry.planned.modificationDate, kPlannedModification)));
    if (entry.identity) {
        put(records, entry.identity->device);
        put(records, entry.identity->inode);
        put(records, entry.identity->mount);
    }
    putDate(records, entry.before.creationDate);
    putDate(records, entry.before.modificationDate);
    putDate(records, entry.planned.creationDate);
    putDate(records, entry.planned.modificationDate);
}

void appendOutcome(std::string& records, const EntryResult& result) {
    put(records, static_cast<std::uint32_t>(result.index));
    put(records, static_cast<std::uint8_t>(result.outcome));
    put(records, static_cast<std::uint8_t>(flagIf(result.after.creationDate, kAfterCreation) |
                                           flagIf(result.after.modificationDate, kAfterModification)));
    putDate(records, result.after.creationDate);
    putDate(records, result.after.modificationDate);
}

void readEntries(std::string_view records, std::size_t count,
                 const std::function<void(JournalEntry&& entry)>& visit) {
    RecordReader reader(records);
    for (std::size_t read = 0; read < count; ++read) {
        JournalEntry entry;
        entry.path = reader.takeBytes(reader.take<std::uint32_t>());
        const auto flags = reader.take<std::uint8_t>();
        if ((flags & kIdentity) != 0) {
            ItemIdentity& identity = entry.identity.emplace();
            identity.device = reader.take<std::uint64_t>();
            identity.inode = reader.take<std::uint64_t>();
            identity.mount = reader.take<std::uint64_t>();
        }
        entry.before.creationDate = reader.takeDate(flags, kBeforeCreation);
        entry.before.modificationDate = reader.takeDate(flags, kBeforeModification);
        entry.planned.creationDate = reader.takeDate(flags, kPlannedCreation);
        entry.planned.modificationDate = reader.takeDate(flags, kPlannedModification);
        visit(std::move(entry));
    }
}

void readOutcomes(std::string_view records, std::size_t count,
                  const std::function<void(const EntryResult& result)>& visit) {
    RecordReader reader(records);
    for (std::size_t read = 0; read < count; ++read) {
        EntryResult result;
        result.index = reader.take<std::uint32_t>();
        const auto outcome = reader.take<std::uint8_t>();
        if (outcome > kLastOutcome) {
            throw JournalError("the journal is damaged: an outcome of a run is unknown");
        }
        result.outcome = static_cast<EntryOutcome>(outcome);
        const auto flags = reader.take<std::uint8_t>();
        result.after.creationDate = reader.takeDate(flags, kAfterCreation);
        result.after.modificationDate = reader.takeDate(flags, kAfterModification);
        visit(result);
    }
}

}  // namespace vellumark
