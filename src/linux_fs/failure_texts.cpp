#include "linux_fs/failure_texts.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace vellumark {

namespace {

std::string systemText(int error) {
    char buffer[256];
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    std::string result = text;
    if (!result.empty() && result[0] >= 'A' && result[0] <= 'Z' && (result.size() < 2 || result[1] > 'Z')) {
        result[0] = static_cast<char>(result[0] - 'A' + 'a');
    }
    return result;
}

}  // namespace

std::string failureText(int error, const struct statx* item) {
    switch (error) {
        case ENOENT:
            return "the item no longer exists";
        case ENOTDIR:
            return "a folder on its path no longer exists";
        case EACCES:
            return "permission denied";
        case EPERM:
            if (item != nullptr) {
                if ((item->stx_attributes_mask & item->stx_attributes & STATX_ATTR_IMMUTABLE) != 0) {
                    return "the item is locked against changes (immutable)";
                }
                if ((item->stx_attributes_mask & item->stx_attributes & STATX_ATTR_APPEND) != 0) {
                    return "the item only allows appending (append-only)";
                }
                if (::geteuid() != 0 && ::geteuid() != item->stx_uid) {
                    return "you are not the owner of the item";
                }
            }
            return "the operation is not permitted";
        case EROFS:
            return "the volume is read-only";
        case ENAMETOOLONG:
            return "its path is too long";
        case ELOOP:
            return "its path has too many symbolic links";
        case EIO:
            return "the device reported an input/output error";
        case ENOSPC:
            return "the volume is full";
        case EDQUOT:
            return "the disk quota is exhausted";
        case EOVERFLOW:
            return "the date lies outside the range this file system can keep";
        case ENODEV:
        case ENXIO:
        case ESTALE:
        case ENOTCONN:  // a FUSE volume whose driver has gone
            return "the volume holding the item is no longer available";
        default:
            return systemText(error);
    }
}

std::string keptText(const char* which, const std::optional<Date>& kept, Date written) {
    if (!kept) {
        return std::string("the file system did not keep the ") + which + " date " + utcText(written);
    }
    return std::string("the file system kept the ") + which + " date as " + utcText(*kept) + " instead of " +
           utcText(written);
}

}  // namespace vellumark
