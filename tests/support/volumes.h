#pragma once

#include "model/volume_capabilities.h"

namespace vellumark::testing {

// The volumes tests plan on, as the Linux backend describes them.

// ext4 with 128-byte inodes: no creation date to write, whole seconds, 1901-12-13 to 2038-01-19.
inline const VolumeCapabilities& ext4Volume() {
    VolumeCapabilities volume;
    volume.fileSystem = "ext4";
    volume.canWriteCreation = false;
    volume.earliest = Date::fromParts(-2'147'483'648);
    volume.latest = Date::fromParts(2'147'483'647);
    volume.granularity = Date::kNanosecondsPerSecond;
    return VolumeCapabilities::shared(volume);
}

// FAT: creation set by the file system, dates in steps of two seconds, with a day to spare at either
// end of 1980 to 2107 for local time.
inline const VolumeCapabilities& fatVolume() {
    VolumeCapabilities volume;
    volume.fileSystem = "FAT";
    volume.canWriteCreation = false;
    volume.earliest = Date::fromParts(315'619'200);
    volume.latest = Date::fromParts(4'354'732'798);
    volume.granularity = 2 * Date::kNanosecondsPerSecond;
    return VolumeCapabilities::shared(volume);
}

// NTFS through ntfs-3g: creation dates written like any other, from 1601 to 30828.
inline const VolumeCapabilities& ntfsVolume() {
    VolumeCapabilities volume;
    volume.fileSystem = "ntfs-3g";
    volume.earliest = Date::fromParts(-11'644'473'600);
    volume.latest = Date::fromParts(910'692'730'085);
    volume.granularity = 100;
    return VolumeCapabilities::shared(volume);
}

}  // namespace vellumark::testing
