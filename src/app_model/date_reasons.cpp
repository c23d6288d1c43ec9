#include "app_model/date_reasons.h"

#include "model/planner.h"

namespace vellumark {

std::string fileSystemName(const VolumeCapabilities& volume) {
    return volume.fileSystem.empty() ? std::string("this file system") : volume.fileSystem;
}

std::string keptCreationText(const VolumeCapabilities& volume) {
    return fileSystemName(volume) + " keeps the creation date itself; it cannot be changed";
}

std::string notStorableText(const VolumeCapabilities& volume, Date date) {
    if (passedRangeEnd(date)) {
        return "the shift moves the date past the end of the calendar";
    }
    return "the date " + utcText(date) + " lies outside what " + fileSystemName(volume) + " can store (" +
           volume.rangeText() + ")";
}

}  // namespace vellumark
