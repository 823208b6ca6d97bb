#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Drives.h"
#include "platform/Files.h"

using namespace platform;
namespace fs = std::filesystem;

TEST(DrivesPosix, DeclaredDriveWithoutADiskExistsButIsNotReady) {
    const std::string prefix = std::getenv("SETUP_IVOX_PREFIX");
    fs::create_directories(prefix + "/dosdevices");
    std::ofstream(prefix + "/drives") << "# drive types\n"
                                      << "b: removable\n"
                                      << "  D:\tcdrom  \n"
                                      << "e: tape\n";
    const uint32_t bitB = 1u << 1, bitD = 1u << 3, bitE = 1u << 4;
    EXPECT_EQ(LogicalDrives() & (bitB | bitD | bitE), bitB | bitD | bitE);
    EXPECT_EQ(DriveType("B:\\"), kDriveRemovable);
    EXPECT_EQ(DriveType("d:"), kDriveCdrom);
    EXPECT_EQ(DriveType("E:\\"), kDriveUnknown);  // a type word the prefix does not know

    std::string label = "stale";
    uint32_t error = 0;
    EXPECT_FALSE(VolumeInformation("B:\\", label, &error));
    EXPECT_EQ(label, "");
    EXPECT_EQ(error, kErrorNotReady);
    EXPECT_EQ(DiskSpace("B:\\"), -1);
    EXPECT_FALSE(FileExists("B:\\arc.zip"));

    // A disk taken out leaves a link that points nowhere: the drive stays, not ready.
    ASSERT_EQ(symlink((prefix + "/no-disk").c_str(), (prefix + "/dosdevices/b:").c_str()), 0);
    EXPECT_FALSE(VolumeInformation("B:\\", label, &error));
    EXPECT_EQ(error, kErrorNotReady);

    // Undeclared, a mapped letter is a fixed drive (here without a disk).
    fs::remove(prefix + "/drives");
    EXPECT_EQ(DriveType("B:\\"), kDriveFixed);
    EXPECT_EQ(LogicalDrives() & (bitB | bitD | bitE), bitB);
    fs::remove(prefix + "/dosdevices/b:");
    EXPECT_EQ(DriveType("B:\\"), kDriveNoRootDir);
    EXPECT_EQ(LogicalDrives() & bitB, 0u);
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
    RemoveFolder("C:\\work");
}
