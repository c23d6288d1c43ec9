#pragma once

#include "model/date.h"

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

namespace vellumark::testing {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vellumark-test-XXXXXX").native();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a temporary folder");
        }
        path_ = pattern;
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

    const std::filesystem::path& path() const { return path_; }

    // Creates the file (and its folders) and gives it `modification` as modification date.
    std::filesystem::path file(const std::string& relative,
                               Date modification = Date::fromParts(1'500'000'000)) const {
        const std::filesystem::path full = path_ / relative;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full) << "x";
        setModification(full, modification);
        return full;
    }

    std::filesystem::path folder(const std::string& relative) const {
        const std::filesystem::path full = path_ / relative;
        std::filesystem::create_directories(full);
        return full;
    }

    static void setModification(const std::filesystem::path& path, Date date) {
        const timespec times[2] = {{0, UTIME_OMIT}, {date.seconds(), date.nanoseconds()}};
        if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
            throw std::runtime_error("cannot set a modification date");
        }
    }

    static std::optional<Date> modification(const std::filesystem::path& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            return std::nullopt;
        }
        return Date::fromParts(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    }

private:
    std::filesystem::path path_;
};

}  // namespace vellumark::testing
