#include "app_model/app_model.h"
#include "linux_fs/linux_file_access.h"
#include "linux_fs/ntfs_time.h"
#include "real_file_system.h"
#include "support/scripted_open_panel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

using namespace testing_support;

// Placeholders in the commands below.
const std::string kImage = "{image}";
const std::string kLoopDevice = "{loop}";
const std::string kVolume = "{volume}";

struct FileSystemCase {
    std::string name;
    std::string fileSystem;         // as LinuxFileAccess names it
    std::vector<std::string> make;  // the image path is appended
    off_t imageMiB = 0;
    std::vector<std::string> mount;
    bool fuse = false;
};

void PrintTo(const FileSystemCase& kind, std::ostream* out) {
    *out << kind.name;
}

const std::vector<std::string> kLoopMount = {"mount", "-o", "loop", kImage, kVolume};

const FileSystemCase kFileSystems[] = {
    {"Ext4SmallInodes", "ext4", {"mkfs.ext4", "-q", "-F", "-I", "128"}, 8, kLoopMount},
    {"Ext4LargeInodes", "ext4", {"mkfs.ext4", "-q", "-F", "-I", "256"}, 8, kLoopMount},
    {"Xfs", "xfs", {"mkfs.xfs", "-q", "-f"}, 300, kLoopMount},  // mkfs.xfs refuses anything smaller
    {"Btrfs", "btrfs", {"mkfs.btrfs", "-q", "-f", "--mixed"}, 32, kLoopMount},
    {"Tmpfs", "tmpfs", {}, 0, {"mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", kVolume}},
    {"Ntfs3g", "ntfs-3g", {"mkntfs", "-F", "-q", "-f"}, 16, {"ntfs-3g", kImage, kVolume}, true},
    {"ExfatFuse", "exFAT", {"mkfs.exfat"}, 16, {"mount.exfat-fuse", kLoopDevice, kVolume}, true},
};

struct DiskDates {
    std::optional<Date> creation;
    std::optional<Date> modification;

    friend bool operator==(const DiskDates&, const DiskDates&) = default;
};

// ntfs-3g gets fractional dates before 1970 wrong through stat; its own attribute holds both exactly.
constexpr const char* kNtfsTimes = "system.ntfs_times";

// Straight from the daemon on FUSE volumes, past the kernel's attribute cache.
DiskDates readDisk(const std::filesystem::path& path, bool ntfs) {
    DiskDates dates;
    if (ntfs) {
        std::array<unsigned char, 16> bytes{};
        if (::lgetxattr(path.c_str(), kNtfsTimes, bytes.data(), bytes.size()) == 16) {
            const std::span<const unsigned char, 16> both(bytes);
            dates.creation = dateFromNtfsTicks(decodeNtfsTicks(both.subspan<0, 8>()));
            dates.modification = dateFromNtfsTicks(decodeNtfsTicks(both.subspan<8, 8>()));
        }
        return dates;
    }
    struct statx item {};
    if (::statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW | AT_STATX_FORCE_SYNC, STATX_MTIME | STATX_BTIME,
                &item) == 0) {
        dates.modification = Date::fromParts(item.stx_mtime.tv_sec, item.stx_mtime.tv_nsec);
        if ((item.stx_mask & STATX_BTIME) != 0) {
            dates.creation = Date::fromParts(item.stx_btime.tv_sec, item.stx_btime.tv_nsec);
        }
    }
    return dates;
}

// Creation is written only where the volume lets anyone write it (ntfs-3g). Access goes with
// modification: exfat-fuse ignores a call that changes modification alone.
bool putDates(const std::filesystem::path& path, Date creation, Date modification, bool ntfs) {
    if (ntfs) {
        std::array<unsigned char, 16> bytes{};
        const NtfsTimeBytes first = encodeNtfsTicks(ntfsTicksFromDate(creation).value());
        const NtfsTimeBytes second = encodeNtfsTicks(ntfsTicksFromDate(modification).value());
        std::copy(first.begin(), first.end(), bytes.begin());
        std::copy(second.begin(), second.end(), bytes.begin() + 8);
        return ::lsetxattr(path.c_str(), kNtfsTimes, bytes.data(), bytes.size(), 0) == 0;
    }
    const timespec time{modification.seconds(), modification.nanoseconds()};
    const timespec times[2] = {time, time};
    return ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

std::string text(const std::optional<Date>& date) {
    return date ? utcText(*date) : "none";
}

// What one date on disk should be after applying, given its fate in the preview.
std::string disagreement(const char* which, DateFate fate, const std::optional<Date>& previewed,
                         const std::optional<Date>& before, const std::optional<Date>& after) {
    const std::optional<Date>& expected = fate == DateFate::changes ? previewed : before;
    if (after == expected) {
        return {};
    }
    return std::string(which) + " (" + std::string(fateName(fate)) + "): before " + text(before) +
           ", preview " + text(previewed) + ", disk " + text(after) + "; ";
}

struct Sample {
    std::string name;
    Date creation;
    Date modification;
};

struct Action {
    std::string name;
    std::function<void(ActionConfig&)> choose;
    bool liftsFromSource = false;
};

std::function<void(ActionConfig&)> shiftBy(ShiftDirection direction, std::int64_t days, std::int64_t hours) {
    return [=](ActionConfig& config) {
        config.kind = DateActionKind::shift;
        config.shiftDirection = direction;
        config.shiftDays = days;
        config.shiftHours = hours;
    };
}

std::function<void(ActionConfig&)> kindOnly(DateActionKind kind) {
    return [=](ActionConfig& config) { config.kind = kind; };
}

const Action kActions[] = {
    {"set a date with a fraction",
     [](ActionConfig& config) {
         config.kind = DateActionKind::setSpecific;
         config.specificDate = utc(1999, 12, 31, 23, 59, 59, 987'654'321);
     }},
    {"add 1 d 2 h", shiftBy(ShiftDirection::add, 1, 2)},
    {"subtract 1 d 2 h", shiftBy(ShiftDirection::subtract, 1, 2)},
    {"add 40000 d", shiftBy(ShiftDirection::add, 40'000, 0)},
    {"copy creation to modification", kindOnly(DateActionKind::copyCreationToModification)},
    {"copy modification to creation", kindOnly(DateActionKind::copyModificationToCreation)},
    {"lift from a file", kindOnly(DateActionKind::liftFromFile), true},
    {"lift with no file chosen", kindOnly(DateActionKind::liftFromFile)},
    {"remove dates", kindOnly(DateActionKind::removeDates)},
};

// One volume of the kind named by the parameter, made and mounted for the test and unmounted whatever
// happens.
class AppliedDates : public ::testing::TestWithParam<FileSystemCase> {
protected:
    void SetUp() override {
        const FileSystemCase& kind = GetParam();
        VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "mounting a volume needs root");
        VELLUMARK_REQUIRE_ENVIRONMENT(!kind.fuse || ::access("/dev/fuse", R_OK | W_OK) == 0,
                                      "FUSE is not available (/dev/fuse)");
        for (const std::vector<std::string>* command : {&kind.make, &kind.mount}) {
            VELLUMARK_REQUIRE_ENVIRONMENT(command->empty() || programExists(command->front()),
                                          command->front() + " is not installed");
        }
        const std::filesystem::path image = folder_ / "volume.img";
        if (!kind.make.empty()) {
            writeFile(image, "");
            ASSERT_EQ(::truncate(image.c_str(), kind.imageMiB << 20), 0);
            std::vector<std::string> make = kind.make;
            make.push_back(image.native());
            VELLUMARK_REQUIRE_ENVIRONMENT(runProgram(make) == 0, kind.make.front() + " failed");
        }
        if (std::ranges::count(kind.mount, kLoopDevice) != 0) {
            loop_.emplace(image);
            VELLUMARK_REQUIRE_ENVIRONMENT(!loop_->path().empty(), "no loop device for the image");
        }
        std::vector<std::string> mount;
        for (const std::string& argument : kind.mount) {
            mount.push_back(argument == kImage        ? image.native()
                            : argument == kLoopDevice ? loop_->path()
                            : argument == kVolume     ? volume_.native()
                                                      : argument);
        }
        makeFolder(volume_);
        VELLUMARK_REQUIRE_ENVIRONMENT(runProgram(mount) == 0,
                                      kind.mount.front() + " could not mount the volume");
        unmount_.emplace(volume_);
    }

    TemporaryFolder folder_;
    const std::filesystem::path volume_ = folder_ / "volume";
    std::optional<LoopDevice> loop_;
    std::optional<MountGuard> unmount_;  // last: unmounted before the device and the folder go
};

// For every action, field choice and correction setting, applying writes exactly what the preview
// showed, on exactly the items it counted, and leaves every other date as it was to the nanosecond.
TEST_P(AppliedDates, MatchThePreview) {
    const bool ntfs = GetParam().fileSystem == "ntfs-3g";
    const std::filesystem::path source = volume_ / "source";
    writeFile(source);
    ASSERT_TRUE(
        putDates(source, utc(1977, 7, 7, 7, 7, 7, 700'000'000), utc(1988, 8, 8, 8, 8, 8, 800'000'000), ntfs));

    LinuxFileAccess files;
    const VolumeCapabilities volume = *files.inspect(source).volume;
    ASSERT_EQ(volume.fileSystem, GetParam().fileSystem);

    constexpr std::int64_t kDay = 86'400;
    // Ahead of the real clock, so that the files' own creation dates are not in its future.
    const Date now = Date::now().addingSeconds(3'600);
    std::vector<Sample> samples = {
        {"fraction", utc(2003, 3, 3, 3, 3, 3, 300'000'000), utc(2001, 2, 3, 4, 5, 6, 789'012'345)},
        {"before-1970", utc(1950, 1, 1, 0, 0, 0, 250'000'000), utc(1955, 5, 5, 5, 5, 5, 500'000'000)},
        {"near-start", volume.earliest.addingSeconds(7'200), volume.earliest.addingSeconds(kDay)},
        {"near-end", volume.latest.addingSeconds(-7'200), volume.latest.addingSeconds(-kDay)},
        {"future", now.addingSeconds(20 * kDay), now.addingSeconds(30 * kDay)},
    };
    std::erase_if(samples, [&volume](const Sample& sample) {
        return !volume.canStore(sample.creation) || !volume.canStore(sample.modification);
    });
    std::vector<std::filesystem::path> paths;
    for (const Sample& sample : samples) {
        paths.push_back(volume_ / sample.name);
        writeFile(paths.back());
    }

    for (const Action& action : kActions) {
        for (const DateFieldSelection fields : allCases<DateFieldSelection>()) {
            for (const bool correct : {false, true}) {
                const std::string label = action.name + ", " + std::string(title(fields)) +
                                          ", auto-correct " + (correct ? "on" : "off");
                SCOPED_TRACE(label);
                std::vector<DiskDates> before;
                for (std::size_t i = 0; i < samples.size(); ++i) {
                    ASSERT_TRUE(putDates(paths[i], samples[i].creation, samples[i].modification, ntfs));
                    before.push_back(readDisk(paths[i], ntfs));
                }

                testing::ScriptedOpenPanel panel;
                AppModel model(files, panel, [now] { return now; });
                ActionConfig config(now);
                action.choose(config);
                config.fields = fields;
                config.correctInconsistencies = correct;
                model.setConfig(config);
                if (action.liftsFromSource) {
                    model.setLiftSource(source);
                }
                model.addURLs(paths);
                const std::vector<PlannedChange> plan = model.plannedChanges();
                const std::size_t count = model.changeCount();
                model.applyChanges();
                ASSERT_EQ(plan.size(), samples.size());
                ASSERT_TRUE(model.lastResult());
                EXPECT_EQ(static_cast<std::int64_t>(count), model.lastResult()->succeeded);
                EXPECT_EQ(count,
                          static_cast<std::size_t>(std::ranges::count_if(
                              plan, [](const PlannedChange& change) { return changesAnything(change); })));

                std::string disagreements;
                for (std::size_t i = 0; i < samples.size(); ++i) {
                    const PlannedChange& change = plan[i];
                    const DiskDates after = readDisk(paths[i], ntfs);
                    std::string found;
                    if (change.item.creationDate != before[i].creation ||
                        change.item.modificationDate != before[i].modification) {
                        found += "listed " + text(change.item.creationDate) + " / " +
                                 text(change.item.modificationDate) + "; ";
                    }
                    found += disagreement("creation", change.creationFate, change.newCreation,
                                          before[i].creation, after.creation);
                    found += disagreement("modification", change.modificationFate, change.newModification,
                                          before[i].modification, after.modification);
                    if ((after != before[i]) != changesAnything(change)) {
                        found += "changed on disk: " + std::string(after != before[i] ? "yes" : "no") + "; ";
                    }
                    const FileItem& relisted = model.items().at(i);
                    if (relisted.creationDate != after.creation ||
                        relisted.modificationDate != after.modification) {
                        found += "relisted " + text(relisted.creationDate) + " / " +
                                 text(relisted.modificationDate) + "; ";
                    }
                    if (!found.empty()) {
                        disagreements += "\n  " + samples[i].name + ": " + found;
                    }
                }
                EXPECT_EQ(disagreements, "");
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(PreviewTruth, AppliedDates, ::testing::ValuesIn(kFileSystems),
                         [](const ::testing::TestParamInfo<FileSystemCase>& param) {
                             return param.param.name;
                         });

}  // namespace
}  // namespace vellumark
