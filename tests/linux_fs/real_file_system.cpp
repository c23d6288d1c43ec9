#include "real_file_system.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <grp.h>
#include <linux/loop.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace vellumark::testing_support {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

// Empties the folder open as `folder`, then closes it.
void removeContents(int folder) {
    ::fchmod(folder, 0700);
    DIR* stream = ::fdopendir(folder);
    if (stream == nullptr) {
        ::close(folder);
        return;
    }
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    }
    for (const std::string& name : names) {
        if (::unlinkat(::dirfd(stream), name.c_str(), 0) == 0) {
            continue;
        }
        // An unreadable folder is made readable first; only folders are left after a failed unlink.
        ::fchmodat(::dirfd(stream), name.c_str(), 0700, 0);
        const int child =
            ::openat(::dirfd(stream), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (child >= 0) {
            removeContents(child);
        }
        ::unlinkat(::dirfd(stream), name.c_str(), AT_REMOVEDIR);
    }
    ::closedir(stream);
}

std::string findProgram(const std::string& name) {
    if (name.find('/') != std::string::npos) {
        return name;
    }
    std::string directories = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    directories += ":/usr/sbin:/sbin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        const std::string candidate = directories.substr(start, end - start) + "/" + name;
        if (end > start && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

TemporaryFolder::TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vellumark-test-XXXXXX").native();
    if (::mkdtemp(pattern.data()) == nullptr) {
        fail("mkdtemp");
    }
    ::chmod(pattern.c_str(), 0755);
    path_ = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    removeTree(path_);
}

void removeTree(const std::filesystem::path& path) {
    const int folder = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (folder >= 0) {
        removeContents(folder);
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

void writeFile(const std::filesystem::path& path, const std::string& contents) {
    std::ofstream stream(path, std::ios::binary);
    stream << contents;
    if (!stream) {
        fail("write " + path.native());
    }
}

void makeFolder(const std::filesystem::path& path) {
    if (::mkdir(path.c_str(), 0755) != 0) {
        fail("mkdir " + path.native());
    }
}

void makeSymlink(const std::filesystem::path& target, const std::filesystem::path& link) {
    if (::symlink(target.c_str(), link.c_str()) != 0) {
        fail("symlink " + link.native());
    }
}

Date modificationOf(const std::filesystem::path& path) {
    struct statx item {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MTIME, &item) != 0) {
        fail("statx " + path.native());
    }
    return Date::fromParts(item.stx_mtime.tv_sec, item.stx_mtime.tv_nsec);
}

Date accessOf(const std::filesystem::path& path) {
    struct statx item {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_ATIME, &item) != 0) {
        fail("statx " + path.native());
    }
    return Date::fromParts(item.stx_atime.tv_sec, item.stx_atime.tv_nsec);
}

void setModification(const std::filesystem::path& path, Date date) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {date.seconds(), date.nanoseconds()}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) {
        fail("utimensat " + path.native());
    }
}

bool programExists(const std::string& name) {
    return !findProgram(name).empty();
}

std::size_t openDescriptorCount() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

std::optional<int> runProgram(const std::vector<std::string>& arguments) {
    const std::string program = findProgram(arguments.at(0));
    if (program.empty()) {
        return std::nullopt;
    }
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    const int started = ::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) {
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

MountGuard::~MountGuard() {
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (::umount2(mountPoint_.c_str(), 0) == 0 || errno == EINVAL || errno == ENOENT) {
            return;
        }
        if (errno != EBUSY) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::umount2(mountPoint_.c_str(), MNT_DETACH);
}

LoopDevice::LoopDevice(const std::filesystem::path& image) {
    const int backing = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
    const int control = ::open("/dev/loop-control", O_RDWR | O_CLOEXEC);
    // Another process may take the free device between asking for it and attaching: ask again.
    for (int attempt = 0; attempt < 10 && backing >= 0 && control >= 0 && path_.empty(); ++attempt) {
        const int number = ::ioctl(control, LOOP_CTL_GET_FREE);
        if (number < 0) {
            break;
        }
        const std::string device = "/dev/loop" + std::to_string(number);
        const int fd = ::open(device.c_str(), O_RDWR | O_CLOEXEC);
        loop_config config{};
        config.fd = static_cast<std::uint32_t>(backing);
        config.info.lo_flags = LO_FLAGS_AUTOCLEAR;
        if (fd >= 0 && ::ioctl(fd, LOOP_CONFIGURE, &config) == 0) {
            device_ = fd;
            path_ = device;
        } else if (fd >= 0) {
            ::close(fd);
        }
    }
    for (const int fd : {backing, control}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

LoopDevice::~LoopDevice() {
    if (device_ >= 0) {
        ::close(device_);
    }
}

bool isRoot() {
    return ::geteuid() == 0;
}

bool runsInCI() {
    return std::getenv("CI") != nullptr;
}

std::string runUnprivileged(const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0) {
        fail("pipe");
    }
    const pid_t child = ::fork();
    if (child < 0) {
        fail("fork");
    }
    if (child == 0) {
        ::close(channel[0]);
        std::string answer;
        if (isRoot() && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            answer = "child failed to drop privileges";
        } else {
            answer = body();
        }
        const char* data = answer.data();
        std::size_t left = answer.size();
        while (left > 0) {
            const ssize_t written = ::write(channel[1], data, left);
            if (written <= 0) {
                break;
            }
            data += written;
            left -= static_cast<std::size_t>(written);
        }
        ::_exit(0);
    }
    ::close(channel[1]);
    std::string answer;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = ::read(channel[0], buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR)) {
        if (got > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(channel[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "child failed with status " + std::to_string(status);
    }
    return answer;
}

unsigned fileSystemMagic(const std::filesystem::path& path) {
    struct statfs status {};
    if (::statfs(path.c_str(), &status) != 0) {
        fail("statfs " + path.native());
    }
    return static_cast<unsigned>(status.f_type);
}

}  // namespace vellumark::testing_support

namespace vellumark::testing_support {

Date utc(int year, int month, int day, int hour, int minute, int second, std::int64_t nanoseconds) {
    // Howard Hinnant's days_from_civil.
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    const std::int64_t days = era * 146'097 + dayOfEra - 719'468;
    return Date::fromParts(days * 86'400 + hour * 3'600 + minute * 60 + second, nanoseconds);
}

}  // namespace vellumark::testing_support
