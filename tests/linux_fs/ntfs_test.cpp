#include "linux_fs/linux_file_access.h"
#include "linux_fs/ntfs_time.h"
#include "real_file_system.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <sys/xattr.h>
#include <unistd.h>

namespace vellumark {
namespace {

using namespace testing_support;

const Date kMarker1904 = Date::fromParts(-2'082'844'800);

struct EncodingCase {
    Date date;
    std::int64_t ticks;
    NtfsTimeBytes bytes;
};

// The same 8-byte form serves ntfs-3g's system.ntfs_crtime and the SMB client's user.cifs.creationtime.
TEST(NtfsTime, EncodesDatesAsLittleEndianTicksSince1601) {
    const EncodingCase cases[] = {
        {utc(1601, 1, 1), 0, {0, 0, 0, 0, 0, 0, 0, 0}},
        {Date::fromParts(0), 116'444'736'000'000'000, {0x00, 0x80, 0x3E, 0xD5, 0xDE, 0xB1, 0x9D, 0x01}},
        {kMarker1904, 95'616'288'000'000'000, {0x00, 0x40, 0xFB, 0xE0, 0x81, 0xB2, 0x53, 0x01}},
        {utc(1960, 5, 1, 12, 0, 0, 500'000'000),
         113'393'520'005'000'000,
         {0x40, 0xAB, 0xBA, 0x3F, 0xCE, 0xDA, 0x92, 0x01}},
        {utc(1600, 12, 31, 23, 59, 59, 999'999'900), -1, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
    };
    for (const EncodingCase& c : cases) {
        SCOPED_TRACE(c.ticks);
        EXPECT_EQ(ntfsTicksFromDate(c.date), c.ticks);
        EXPECT_EQ(dateFromNtfsTicks(c.ticks), c.date);
        EXPECT_EQ(encodeNtfsTicks(c.ticks), c.bytes);
        EXPECT_EQ(decodeNtfsTicks(c.bytes), c.ticks);
    }
}

TEST(NtfsTime, RoundsDownToTheTickAndRefusesWhatDoesNotFit) {
    const Date precise = utc(2024, 1, 1, 0, 0, 0, 123'456'789);
    EXPECT_EQ(ntfsTicksFromDate(precise), 133'485'408'001'234'567);
    EXPECT_EQ(dateFromNtfsTicks(133'485'408'001'234'567), utc(2024, 1, 1, 0, 0, 0, 123'456'700));
    EXPECT_EQ(ntfsTicksFromDate(utc(1969, 12, 31, 23, 59, 59, 999'999'999)), 116'444'735'999'999'999);

    constexpr std::int64_t kMost = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kLeast = std::numeric_limits<std::int64_t>::min();
    EXPECT_EQ(ntfsTicksFromDate(dateFromNtfsTicks(kMost)), kMost);
    EXPECT_EQ(ntfsTicksFromDate(dateFromNtfsTicks(kLeast)), kLeast);
    EXPECT_EQ(ntfsTicksFromDate(dateFromNtfsTicks(kMost).addingSeconds(1)), std::nullopt);
    EXPECT_EQ(ntfsTicksFromDate(dateFromNtfsTicks(kLeast).addingSeconds(-1)), std::nullopt);
    EXPECT_EQ(ntfsTicksFromDate(Date::fromParts(kMost / 2)), std::nullopt);
}

std::int64_t rawCreationTicks(const std::filesystem::path& path) {
    NtfsTimeBytes bytes{};
    EXPECT_EQ(::lgetxattr(path.c_str(), "system.ntfs_crtime", bytes.data(), bytes.size()), 8) << path;
    return decodeNtfsTicks(bytes);
}

// A small NTFS image mounted with ntfs-3g in a folder of its own, unmounted whatever happens.
class NtfsVolume : public testing::Test {
protected:
    void SetUp() override {
        VELLUMARK_REQUIRE_ENVIRONMENT(isRoot(), "mounting an NTFS image needs root");
        VELLUMARK_REQUIRE_ENVIRONMENT(::access("/dev/fuse", R_OK | W_OK) == 0,
                                      "FUSE is not available (/dev/fuse)");
        VELLUMARK_REQUIRE_ENVIRONMENT(programExists("mkntfs") && programExists("ntfs-3g"),
                                      "ntfs-3g is not installed (mkntfs, ntfs-3g)");
        const std::string image = (folder_ / "volume.img").native();
        writeFile(image, "");
        ASSERT_EQ(::truncate(image.c_str(), 16 << 20), 0);
        VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"mkntfs", "-F", "-q", "-f", image}) == 0, "mkntfs failed");
        makeFolder(volume_);
        VELLUMARK_REQUIRE_ENVIRONMENT(runProgram({"ntfs-3g", image, volume_.native()}) == 0,
                                      "ntfs-3g could not mount the image");
        unmount_.emplace(volume_);
        ASSERT_EQ(fileSystemMagic(volume_), 0x65735546u) << "not a FUSE mount";

        writeFile(volume_ / "file");
        makeFolder(volume_ / "folder");
        makeSymlink("file", volume_ / "link");
    }

    TemporaryFolder folder_;
    const std::filesystem::path volume_ = folder_ / "volume";
    std::optional<MountGuard> unmount_;  // after folder_: unmounted before the folder is removed
};

struct DatePair {
    Date creation;
    Date modification;
};

TEST_F(NtfsVolume, WritesAndReadsBackBothDatesOfEveryKindOfItem) {
    const DatePair pairs[] = {
        {kMarker1904, utc(1960, 5, 1, 12, 0, 0, 500'000'000)},
        {utc(1955, 3, 4, 5, 6, 7, 123'456'700), kMarker1904},
        {utc(2024, 2, 29, 23, 59, 59, 999'999'900), utc(2030, 6, 15, 8, 0, 0, 250'000'000)},
        {utc(1601, 1, 1), Date::fromParts(0)},
    };
    LinuxFileAccess files;
    for (const char* name : {"file", "folder", "link"}) {
        for (const DatePair& pair : pairs) {
            SCOPED_TRACE(std::string(name) + " " + std::to_string(pair.creation.seconds()));
            const std::filesystem::path path = volume_ / name;
            ASSERT_EQ(files.setAttributes(path, std::nullopt, {pair.creation, pair.modification}),
                      std::nullopt);

            const std::optional<DateAttributes> dates = files.attributes(path);
            ASSERT_TRUE(dates);
            EXPECT_EQ(dates->creationDate, pair.creation);
            EXPECT_EQ(dates->modificationDate, pair.modification);
            EXPECT_EQ(rawCreationTicks(path), ntfsTicksFromDate(pair.creation));

            // Another instance, learning the volume afresh, reads the same through one look.
            const ItemInfo info = LinuxFileAccess().inspect(path);
            EXPECT_TRUE(info.existence.exists);
            ASSERT_TRUE(info.dates);
            EXPECT_EQ(info.dates->creationDate, pair.creation);
            EXPECT_EQ(info.dates->modificationDate, pair.modification);
        }
    }
    EXPECT_TRUE(files.inspect(volume_ / "link").existence.exists);
    EXPECT_TRUE(files.inspect(volume_ / "folder").existence.isDirectory);
}

TEST_F(NtfsVolume, WritingOneDateLeavesTheOtherExactlyAsItWas) {
    LinuxFileAccess files;
    const std::filesystem::path path = volume_ / "file";
    const Date creation = utc(1977, 7, 7, 7, 7, 7, 700'000'000);
    const Date modification = utc(1966, 6, 6, 6, 6, 6, 600'000'000);
    ASSERT_EQ(files.setAttributes(path, std::nullopt, {creation, modification}), std::nullopt);

    const Date laterModification = utc(2011, 1, 1);
    EXPECT_EQ(files.setAttributes(path, std::nullopt, {std::nullopt, laterModification}), std::nullopt);
    EXPECT_EQ(files.attributes(path)->creationDate, creation);

    const Date laterCreation = utc(2010, 1, 1, 0, 0, 0, 100);
    EXPECT_EQ(files.setAttributes(path, std::nullopt, {laterCreation, std::nullopt}), std::nullopt);
    EXPECT_EQ(files.attributes(path)->creationDate, laterCreation);
    EXPECT_EQ(files.attributes(path)->modificationDate, laterModification);
}

TEST_F(NtfsVolume, RefusesDatesTheVolumeCannotHoldTouchingNothing) {
    LinuxFileAccess files;
    const std::filesystem::path path = volume_ / "file";
    const DateAttributes before = *files.attributes(path);
    const Date tooLate = dateFromNtfsTicks(std::numeric_limits<std::int64_t>::max()).addingSeconds(1);
    const Date tooEarly = utc(1600, 12, 31, 23, 59, 59);
    const std::string range = "ntfs-3g can store (1601-01-01 to 30828-09-14)";
    EXPECT_EQ(files.setAttributes(path, std::nullopt, {tooLate, std::nullopt}),
              "the date 30828-09-14 02:48:06.4775807 UTC lies outside what " + range);
    EXPECT_EQ(files.setAttributes(path, std::nullopt, {utc(2000, 1, 1), tooLate}),
              "the date 30828-09-14 02:48:06.4775807 UTC lies outside what " + range);
    EXPECT_EQ(files.setAttributes(path, std::nullopt, {tooEarly, utc(2000, 1, 1)}),
              "the date 1600-12-31 23:59:59 UTC lies outside what " + range);
    const VolumeCapabilities& learnt = *files.inspect(path).volume;
    EXPECT_TRUE(learnt.canWriteCreation);
    EXPECT_EQ(learnt.granularity, 100);
    const DateAttributes after = *files.attributes(path);
    EXPECT_EQ(after.creationDate, before.creationDate);
    EXPECT_EQ(after.modificationDate, before.modificationDate);
}

// Beside ordinary files the mount point is an item like the others, but on a volume that may ignore
// utimensat (ntfs-3g does after its time attributes were written): what counts is what it kept.
TEST_F(NtfsVolume, AMountPointAmongOrdinaryFilesIsWrittenLikeAnyOther) {
    writeFile(folder_ / "ordinary.txt");
    LinuxFileAccess files;
    EXPECT_TRUE(files.inspect(volume_).existence.isDirectory);  // as when the folder was listed
    ASSERT_EQ(files.setAttributes(volume_, std::nullopt, {utc(1999, 1, 1), utc(1999, 1, 2)}), std::nullopt);

    const Date date = utc(2015, 5, 5, 5, 5, 5);
    EXPECT_EQ(files.setAttributes(folder_ / "ordinary.txt", std::nullopt, {std::nullopt, date}),
              std::nullopt);
    EXPECT_EQ(files.setAttributes(volume_, std::nullopt, {std::nullopt, date}), std::nullopt);
    EXPECT_EQ(files.attributes(volume_)->modificationDate, date);
    EXPECT_EQ(files.attributes(volume_)->creationDate, utc(1999, 1, 1));
}

}  // namespace
}  // namespace vellumark
