#pragma once

#include "model/date.h"
#include "model/volume_capabilities.h"

#include <string>

namespace vellumark {

// Why a date stays as it is or cannot be written, in the plain words of the failure texts.

// "ext4 keeps the creation date itself; it cannot be changed"
std::string keptCreationText(const VolumeCapabilities& volume);

// "the date 2500-01-01 00:00:00 UTC lies outside what ext4 can store (1901-12-13 to 2038-01-19)"; for a
// shift that passed either end of the range: "the shift moves the date past the end of the calendar".
std::string notStorableText(const VolumeCapabilities& volume, Date date);

// "ext4", or "this file system" when the volume was never learnt.
std::string fileSystemName(const VolumeCapabilities& volume);

}  // namespace vellumark
