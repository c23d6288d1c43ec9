#include "linux_fs/date_writes.h"

#include "app_model/date_reasons.h"
#include "linux_fs/failure_texts.h"
#include "linux_fs/ntfs_time.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <span>

namespace vellumark {

namespace {

Date dateOf(const statx_timestamp& time) {
    return Date::fromParts(time.tv_sec, time.tv_nsec);
}

bool readAgain(const ItemRef& at, struct statx& item) {
    return ::statx(at.folder, at.name, at.flags | AT_STATX_SYNC_AS_STAT, kItemMask, &item) == 0;
}

std::string readBackFailureText(int error) {
    return "its dates could not be read back after writing (" + failureText(error) + ")";
}

std::optional<Date> readTimeAttribute(const ItemRef& at, const char* attribute) {
    NtfsTimeBytes bytes{};
    if (getAttribute(at, attribute, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        return std::nullopt;
    }
    return dateFromNtfsTicks(decodeNtfsTicks(bytes));
}

bool writeTimeAttribute(const ItemRef& at, const char* attribute, Date date) {
    const std::optional<std::int64_t> ticks = ntfsTicksFromDate(date);
    if (!ticks) {
        errno = EOVERFLOW;
        return false;
    }
    const NtfsTimeBytes bytes = encodeNtfsTicks(*ticks);
    return setAttribute(at, attribute, bytes.data(), bytes.size()) == 0;
}

std::optional<NtfsTimes> readNtfsTimes(const ItemRef& at) {
    NtfsTimes times{};
    if (getAttribute(at, kNtfsTimesAttribute, times.data(), times.size()) !=
        static_cast<ssize_t>(times.size())) {
        return std::nullopt;
    }
    return times;
}

bool writeCreation(const ItemRef& at, const Volume& volume, Date date) {
    return writeTimeAttribute(
        at, volume.creation == CreationStore::cifs ? kCifsCreationAttribute : kNtfsCreationAttribute, date);
}

// The access date is left alone, or, when `item` was read with it, written back as it was: FUSE drivers
// built on libfuse 2 (exfat-fuse among them) drop a change that leaves it out, and still report success.
// Written back, an access made between the reading and the writing is lost: a price worth a kept date.
bool writeModification(const ItemRef& at, Date date, const struct statx* item = nullptr) {
    struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(date.seconds()), static_cast<long>(date.nanoseconds())},
    };
    if (item != nullptr && (item->stx_mask & STATX_ATIME) != 0) {
        times[0] = {static_cast<time_t>(item->stx_atime.tv_sec), static_cast<long>(item->stx_atime.tv_nsec)};
    }
    return ::utimensat(at.folder, at.name, times, at.flags) == 0;
}

// Writes the present dates of `wanted`. On ntfs-3g both go in one call through `system.ntfs_times`
// (once an item's times were written through its attributes, ntfs-3g ignores utimensat on it for as long
// as it holds it open); `current` supplies the date not being written. Elsewhere creation is written first:
// if modification then fails, creation can still be put back to `previousCreation`.
std::optional<std::string> storeDates(const ItemRef& at, const Volume& volume, const struct statx& item,
                                      const DateAttributes& wanted,
                                      const std::optional<Date>& previousCreation, const NtfsTimes* current) {
    if (current != nullptr) {
        std::array<unsigned char, 16> both{};
        std::copy_n(current->begin(), both.size(), both.begin());
        if (wanted.creationDate) {
            const NtfsTimeBytes bytes = encodeNtfsTicks(*ntfsTicksFromDate(*wanted.creationDate));
            std::copy(bytes.begin(), bytes.end(), both.begin());
        }
        if (wanted.modificationDate) {
            const NtfsTimeBytes bytes = encodeNtfsTicks(*ntfsTicksFromDate(*wanted.modificationDate));
            std::copy(bytes.begin(), bytes.end(), both.begin() + 8);
        }
        if (setAttribute(at, kNtfsTimesAttribute, both.data(), both.size()) != 0) {
            return failureText(errno, &item);
        }
        return std::nullopt;
    }

    if (wanted.creationDate && !writeCreation(at, volume, *wanted.creationDate)) {
        const int error = errno;
        if (error == ENOTSUP || error == ENODATA) {
            return keptCreationText(*volume.capabilities);
        }
        return failureText(error, &item);
    }
    if (wanted.modificationDate && !writeModification(at, *wanted.modificationDate, &item)) {
        std::string text = failureText(errno, &item);
        if (wanted.creationDate && !(previousCreation && writeCreation(at, volume, *previousCreation))) {
            text += "; its creation date was changed and could not be put back";
        }
        return text;
    }
    return std::nullopt;
}

// Whether the file system kept `written` as `kept`, allowing for how finely it stores dates.
bool keptWithin(const std::optional<Date>& kept, Date written, std::int64_t granularity) {
    if (!kept) {
        return false;
    }
    std::int64_t seconds = 0;
    if (__builtin_sub_overflow(kept->seconds(), written.seconds(), &seconds) || seconds > 3 || seconds < -3) {
        return false;
    }
    std::int64_t difference = seconds * kSecond + (kept->nanoseconds() - written.nanoseconds());
    if (difference < 0) {
        difference = -difference;
    }
    return difference < granularity;
}

// Dates that every writable file system keeps (FAT from 1980, small-inode ext4 and HFS+ until 2038), with
// a day to spare for FAT's local time.
bool isWithinEveryRange(Date date) {
    return date >= Date::fromParts(315'619'200) && date <= Date::fromParts(2'147'397'247);
}

// A modification date alone, within every file system's range, is written without first reading the dates
// it replaces: only reading it back tells whether the file system kept it.
WriteResult writeModificationFirst(const ItemRef& at, const struct statx& item, const Volume& volume,
                                   Date date) {
    if (!writeModification(at, date)) {
        return {failureText(errno, &item), item};
    }
    struct statx after {};
    if (!readAgain(at, after)) {
        return {readBackFailureText(errno), std::nullopt};
    }
    DateAttributes kept = datesOf(at, after, volume);
    if (keptWithin(kept.modificationDate, date, volume.readBackLeeway())) {
        return {std::nullopt, after};
    }
    if (!volume.keepsWhatItAccepts && volume.creation == CreationStore::none) {
        // A driver that ignored the change for want of an access date is given one.
        if (!writeModification(at, date, &after)) {
            return {failureText(errno, &after), after};
        }
        if (!readAgain(at, after)) {
            return {readBackFailureText(errno), std::nullopt};
        }
        kept = datesOf(at, after, volume);
        if (keptWithin(kept.modificationDate, date, volume.readBackLeeway())) {
            return {std::nullopt, after};
        }
    }
    // ntfs-3g ignores utimensat on an item whose times were set through its attributes while it still
    // holds it; what was just read is then still the item's, and the attribute takes the date.
    if (volume.creation == CreationStore::ntfs3g) {
        if (const std::optional<NtfsTimes> current = readNtfsTimes(at)) {
            if (std::optional<std::string> failure =
                    storeDates(at, volume, after, {std::nullopt, date}, std::nullopt, &*current)) {
                return {std::move(failure), after};
            }
            if (!readAgain(at, after)) {
                return {readBackFailureText(errno), std::nullopt};
            }
            kept = datesOf(at, after, volume);
            if (keptWithin(kept.modificationDate, date, volume.readBackLeeway())) {
                return {std::nullopt, after};
            }
        }
    }
    return {keptText("modification", kept.modificationDate, date), after};
}

// The item as it is now, read through `at`; nothing when it cannot be read.
std::optional<struct statx> readNow(const ItemRef& at) {
    struct statx item {};
    if (!readAgain(at, item)) {
        return std::nullopt;
    }
    return item;
}

}  // namespace

DateAttributes datesOf(const ItemRef& at, const struct statx& item, const Volume& volume) {
    DateAttributes dates;
    if ((item.stx_mask & STATX_MTIME) != 0) {
        dates.modificationDate = dateOf(item.stx_mtime);
    }
    // 0 s 0 ns is what some file systems put there when they keep no birth time.
    if ((item.stx_mask & STATX_BTIME) != 0 && (item.stx_btime.tv_sec != 0 || item.stx_btime.tv_nsec != 0)) {
        dates.creationDate = dateOf(item.stx_btime);
    }
    switch (volume.creation) {
        case CreationStore::ntfs3g: {
            // ntfs-3g reports fractional modification times before 1970 wrongly through stat; its own
            // attribute holds both dates exactly.
            if (const std::optional<NtfsTimes> times = readNtfsTimes(at)) {
                const std::span<const unsigned char, 32> all(*times);
                dates.creationDate = dateFromNtfsTicks(decodeNtfsTicks(all.subspan<0, 8>()));
                dates.modificationDate = dateFromNtfsTicks(decodeNtfsTicks(all.subspan<8, 8>()));
            } else if (std::optional<Date> creation = readTimeAttribute(at, kNtfsCreationAttribute)) {
                dates.creationDate = creation;
            }
            break;
        }
        case CreationStore::cifs:
            if (std::optional<Date> creation = readTimeAttribute(at, kCifsCreationAttribute)) {
                dates.creationDate = creation;
            }
            break;
        case CreationStore::none:
            break;
    }
    return dates;
}

WriteResult writeDates(const ItemRef& at, const struct statx& item, const Volume& volume,
                       const DateAttributes& dates) {
    const std::optional<Date>& creation = dates.creationDate;
    const std::optional<Date>& modification = dates.modificationDate;
    if (!creation && !modification) {
        return {std::nullopt, item};
    }
    if (!creation && isWithinEveryRange(*modification)) {
        return writeModificationFirst(at, item, volume, *modification);
    }

    // Every date is checked before anything is touched, so that a refusal leaves the item as it was.
    if (creation) {
        if (volume.creation == CreationStore::none) {
            return {keptCreationText(*volume.capabilities), item};
        }
        if (!volume.capabilities->canStore(*creation)) {
            return {notStorableText(*volume.capabilities, *creation), item};
        }
    }
    if (modification && !volume.capabilities->canStore(*modification)) {
        return {notStorableText(*volume.capabilities, *modification), item};
    }
    const DateAttributes before = datesOf(at, item, volume);
    std::optional<NtfsTimes> ntfsTimes;
    if (volume.creation == CreationStore::ntfs3g) {
        ntfsTimes = readNtfsTimes(at);
    }
    const NtfsTimes* current = ntfsTimes ? &*ntfsTimes : nullptr;
    if (std::optional<std::string> failure =
            storeDates(at, volume, item, dates, before.creationDate, current)) {
        // A creation date may have been written, and perhaps put back, before the modification date failed.
        return {std::move(failure), readNow(at)};
    }

    // Some file systems accept a date and keep another (FAT clamps its range, some FUSE drivers ignore
    // the call): only what reads back counts as written.
    struct statx after {};
    if (!readAgain(at, after)) {
        return {readBackFailureText(errno), std::nullopt};
    }
    const DateAttributes kept = datesOf(at, after, volume);
    std::string mismatch;
    if (creation && !keptWithin(kept.creationDate, *creation, volume.readBackLeeway())) {
        mismatch = keptText("creation", kept.creationDate, *creation);
    }
    if (modification && !keptWithin(kept.modificationDate, *modification, volume.readBackLeeway())) {
        mismatch += (mismatch.empty() ? "" : ", and ") +
                    keptText("modification", kept.modificationDate, *modification);
    }
    if (mismatch.empty()) {
        return {std::nullopt, after};
    }
    // Putting back needs every date that was written to have been readable before.
    const DateAttributes previous{creation ? before.creationDate : std::nullopt,
                                  modification ? before.modificationDate : std::nullopt};
    if (previous.creationDate.has_value() != creation.has_value() ||
        previous.modificationDate.has_value() != modification.has_value()) {
        return {mismatch + "; the previous dates could not be put back", after};
    }
    const bool restored = !storeDates(at, volume, item, previous, std::nullopt, current);
    return {mismatch + (restored ? "; the previous dates were put back"
                                 : "; the previous dates could not be put back"),
            readNow(at)};
}

}  // namespace vellumark
