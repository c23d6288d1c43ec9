#pragma once

// Helpers for tests that work on real folders and real mounts: temporary trees, mounts that are always
// undone, and running a piece of a test as an ordinary user when the suite runs as root.

#include "model/date.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vellumark::testing_support {

// A fresh folder under the system's temporary folder, removed with everything in it (however deep) at the
// end. The folder is readable by everyone, so that an unprivileged child can walk it.
class TemporaryFolder {
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Removes a tree of any depth, restoring permissions on the way.
void removeTree(const std::filesystem::path& path);

void writeFile(const std::filesystem::path& path, const std::string& contents = "x");
void makeFolder(const std::filesystem::path& path);
void makeSymlink(const std::filesystem::path& target, const std::filesystem::path& link);

// Dates read and written directly with statx/utimensat (never following a final link), independent of
// the code under test.
Date modificationOf(const std::filesystem::path& path);
Date accessOf(const std::filesystem::path& path);
void setModification(const std::filesystem::path& path, Date date);

// How many descriptors the process has open.
std::size_t openDescriptorCount();

// Runs a program (searched in PATH, then /usr/sbin and /sbin) with its output discarded. Returns its exit
// status, or nullopt when it could not be started.
std::optional<int> runProgram(const std::vector<std::string>& arguments);
bool programExists(const std::string& name);

// Unmounts in the destructor, retrying while busy and detaching as a last resort.
class MountGuard {
public:
    explicit MountGuard(std::filesystem::path mountPoint) : mountPoint_(std::move(mountPoint)) {}
    ~MountGuard();
    MountGuard(const MountGuard&) = delete;
    MountGuard& operator=(const MountGuard&) = delete;

private:
    std::filesystem::path mountPoint_;
};

// A loop device over an image file, for drivers that mount only block devices (FUSE's fuseblk). The
// kernel detaches it once its last user lets go: this object, or the driver mounted on it.
class LoopDevice {
public:
    explicit LoopDevice(const std::filesystem::path& image);
    ~LoopDevice();
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    // "/dev/loop3"; empty when no device could be attached.
    const std::string& path() const { return path_; }

private:
    int device_ = -1;
    std::string path_;
};

bool isRoot();
bool runsInCI();

// Runs `body` in a forked child; as root the child first becomes the unprivileged user 65534. Returns
// what `body` returned, or a text starting with "child failed" when the child did not finish.
std::string runUnprivileged(const std::function<std::string()>& body);

// The statfs type number of the file system holding `path`.
unsigned fileSystemMagic(const std::filesystem::path& path);

}  // namespace vellumark::testing_support

// Skips the test with `reason` when the environment cannot provide what it needs, except in CI, where
// the environment must provide it and the test fails instead.
#define VELLUMARK_REQUIRE_ENVIRONMENT(condition, reason)        \
    do {                                                        \
        if (!(condition)) {                                     \
            if (::vellumark::testing_support::runsInCI()) {     \
                FAIL() << "CI must provide this: " << (reason); \
            }                                                   \
            GTEST_SKIP() << (reason);                           \
        }                                                       \
    } while (false)

namespace vellumark::testing_support {

// A UTC calendar date and time as a Date (proleptic Gregorian, any year).
Date utc(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
         std::int64_t nanoseconds = 0);

}  // namespace vellumark::testing_support
