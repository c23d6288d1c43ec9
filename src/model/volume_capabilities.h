#pragma once

#include "date.h"

#include <cstdint>
#include <string>

namespace vellumark {

// What the volume holding an item can do with its dates, as learnt when the item was read.
//
// Items refer to one shared copy per distinct value (see `shared`), so a list of a million items on
// three volumes holds three of these, and planning reads them through a pointer.
struct VolumeCapabilities {
    // The file system as users know it ("ext4", "ntfs-3g", "tmpfs"); empty when not known.
    std::string fileSystem;
    bool canWriteCreation = true;
    // The oldest and newest dates it can store, both included.
    Date earliest = Date::earliest();
    Date latest = Date::latest();
    // Stored dates are whole multiples of this many nanoseconds since 1970 (2 s on FAT, 100 ns on NTFS).
    std::int64_t granularity = 1;

    friend bool operator==(const VolumeCapabilities&, const VolumeCapabilities&) = default;

    bool canStore(Date date) const { return earliest <= date && date <= latest; }

    // `date` as the volume keeps it: rounded down to a multiple of the granularity.
    //   on FAT (2 s): 12:00:01.7 -> 12:00:00
    // In the first and the last second of a range that begins and ends on whole seconds, the kernel
    // keeps no fraction.
    Date stored(Date date) const {
        if ((date.seconds() == earliest.seconds() && earliest.nanoseconds() == 0) ||
            (date.seconds() == latest.seconds() && latest.nanoseconds() == 0)) {
            return Date::fromParts(date.seconds());
        }
        return granularity <= 1 ? date : roundedDown(date);
    }

    // "1901-12-13 to 2038-01-19"; "until 2038-01-19" or "from 1980-01-01" where one end is open.
    std::string rangeText() const;

    // The one shared copy equal to `capabilities`, made on first request and kept for the life of the
    // process (there are only a handful of distinct values). Safe to call from any thread.
    static const VolumeCapabilities& shared(const VolumeCapabilities& capabilities);

    // No limits known: items whose volume was never learnt are planned as if anything could be written.
    static const VolumeCapabilities& unrestricted();

private:
    Date roundedDown(Date date) const;
};

// A reference to a shared VolumeCapabilities, as cheap to copy as a pointer; unrestricted by default.
class VolumeRef {
public:
    VolumeRef() : capabilities_(&VolumeCapabilities::unrestricted()) {}
    // `shared` must outlive every copy: pass what VolumeCapabilities::shared returned.
    VolumeRef(const VolumeCapabilities& shared) : capabilities_(&shared) {}
    VolumeRef(const VolumeCapabilities&& temporary) = delete;

    const VolumeCapabilities& operator*() const { return *capabilities_; }
    const VolumeCapabilities* operator->() const { return capabilities_; }

    friend bool operator==(VolumeRef, VolumeRef) = default;

private:
    const VolumeCapabilities* capabilities_;
};

}  // namespace vellumark
