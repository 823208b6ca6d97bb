#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/FindFiles.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

// A disk: a folder of the prefix carrying a volume label.
std::string MakeDisk(const std::string& prefix, const std::string& name, const std::string& label) {
    const std::string folder = prefix + "/" + name;
    fs::create_directories(folder);
    std::ofstream(folder + "/.windows-label") << label << "\n";
    return folder;
}

// Puts the disk into drive A: (or takes it out when `folder` is "").
void Insert(const std::string& prefix, const std::string& folder) {
    const std::string link = prefix + "/dosdevices/a:";
    fs::create_directories(prefix + "/dosdevices");
    unlink(link.c_str());
    ASSERT_EQ(
        symlink(folder.empty() ? (prefix + "/no-disk").c_str() : folder.c_str(), link.c_str()), 0);
}

}  // namespace

TEST(DrivesPosix, DeclaredRemovableDriveChangesDisksWhenRepointed) {
    const std::string prefix = std::getenv("SETUP_IVOX_PREFIX");
    const std::string disk1 = MakeDisk(prefix, "disk1", "PKBACK# 001");
    const std::string disk2 = MakeDisk(prefix, "disk2", "PKBACK# 002");
    std::ofstream(disk2 + "/arc002.zip") << "x";
    std::ofstream(prefix + "/drives") << "# drive types\n"
                                      << "a: removable\n"
                                      << "  D:\tcdrom  \n"
                                      << "e: tape\n";
    const uint32_t bitA = 1u << 0, bitD = 1u << 3, bitE = 1u << 4;

    // Declared without a disk: the drive exists, its volume is not ready.
    EXPECT_EQ(LogicalDrives() & (bitA | bitD | bitE), bitA | bitD | bitE);
    EXPECT_EQ(DriveType("A:\\"), kDriveRemovable);
    EXPECT_EQ(DriveType("d:\\"), kDriveCdrom);
    EXPECT_EQ(DriveType("E:\\"), kDriveUnknown);
    std::string label;
    uint32_t error = 0;
    EXPECT_FALSE(VolumeInformation("A:\\", label, &error));
    EXPECT_EQ(error, kErrorNotReady);
    EXPECT_EQ(DiskSpace("A:\\"), -1);

    Insert(prefix, disk1);
    EXPECT_TRUE(VolumeInformation("A:\\", label, &error));
    EXPECT_EQ(label, "PKBACK# 001");
    EXPECT_GT(DiskSpace("A:\\"), 0);
    EXPECT_FALSE(FileExists("A:\\arc002.zip"));

    Insert(prefix, disk2);
    EXPECT_EQ(DriveType("A:\\"), kDriveRemovable);
    EXPECT_TRUE(VolumeInformation("A:\\", label, &error));
    EXPECT_EQ(label, "PKBACK# 002");
    EXPECT_EQ(FindFiles("A:\\arc???.zip"), std::vector<std::string>{"arc002.zip"});

    Insert(prefix, "");  // taken out: a link that points nowhere
    EXPECT_NE(LogicalDrives() & bitA, 0u);
    EXPECT_FALSE(VolumeInformation("A:\\", label, &error));
    EXPECT_EQ(error, kErrorNotReady);

    // An undeclared mapped letter is a fixed drive without a label.
    fs::remove(prefix + "/drives");
    Insert(prefix, disk1);
    fs::remove(disk1 + "/.windows-label");
    EXPECT_EQ(DriveType("A:\\"), kDriveFixed);
    EXPECT_TRUE(VolumeInformation("A:\\", label, &error));
    EXPECT_EQ(label, "");
    EXPECT_EQ(LogicalDrives() & (bitD | bitE), 0u);
    fs::remove(prefix + "/dosdevices/a:");
    EXPECT_EQ(DriveType("A:\\"), kDriveNoRootDir);
}

TEST(DrivesPosix, CurrentFolderIsAWindowsPath) {
    const std::string prefix = std::getenv("SETUP_IVOX_PREFIX");
    const fs::path before = fs::current_path();
    MakeFolder("C:\\work");
    fs::current_path(prefix + "/drive_c/work");
    EXPECT_EQ(FullPathName("x\\..\\arc.zip"), "C:\\work\\arc.zip");
    EXPECT_EQ(FullPathName("C:arc.zip"), "C:\\work\\arc.zip");
    fs::current_path("/");
    EXPECT_EQ(FullPathName("tmp/arc.zip"), "Z:\\tmp\\arc.zip");
    EXPECT_EQ(FullPathName("."), "Z:\\");
    fs::current_path(before);
}
