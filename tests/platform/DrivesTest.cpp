#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/FindFiles.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "tests/support/TestDrives.h"

using namespace platform;

TEST(Drives, DriveCIsFixedWithASizeAndAnUnknownLetterIsAbsent) {
    EXPECT_NE(LogicalDrives() & (1u << ('C' - 'A')), 0u);
    EXPECT_EQ(DriveType("C:\\"), kDriveFixed);
    EXPECT_EQ(DriveType("c:"), kDriveFixed);
    EXPECT_GT(DiskSpace("C:\\"), 0);
    std::string label = "stale";
    uint32_t error = 1;
    EXPECT_TRUE(VolumeInformation("C:\\", label, &error));
    EXPECT_EQ(error, 0u);

    // The test machines define no drive Q:.
    EXPECT_EQ(LogicalDrives() & (1u << ('Q' - 'A')), 0u);
    EXPECT_EQ(DriveType("Q:\\"), kDriveNoRootDir);
    EXPECT_EQ(DiskSpace("Q:\\"), -1);
    label = "stale";
    EXPECT_FALSE(VolumeInformation("Q:\\", label, &error));
    EXPECT_EQ(label, "");
    EXPECT_NE(error, 0u);
}

TEST(Drives, RemovableDriveShowsTheLabelOfTheDiskInIt) {
    using namespace testing_machine;
    const std::string disk1 = "C:\\disk-test-1", disk2 = "C:\\disk-test-2";
    MakeFolder(disk1);
    MakeFolder(disk2);
    WriteVolumeLabel(disk1, "PKBACK# 001");
    WriteVolumeLabel(disk2, "PKBACK# 002");
    std::ofstream(HostPath(disk2 + "\\arc002.zip")) << "x";
    if (!MapTestDrive('A', disk1, kDriveRemovable)) GTEST_SKIP() << "no test drives here";

    EXPECT_NE(LogicalDrives() & 1u, 0u);
    EXPECT_EQ(DriveType("A:\\"), kDriveRemovable);
    std::string label;
    EXPECT_TRUE(VolumeInformation("A:\\", label));
    EXPECT_EQ(label, "PKBACK# 001");
    EXPECT_GT(DiskSpace("A:\\"), 0);
    EXPECT_FALSE(FileExists("A:\\arc002.zip"));

    // Another disk goes in.
    ASSERT_TRUE(MapTestDrive('A', disk2, kDriveRemovable));
    EXPECT_TRUE(VolumeInformation("A:\\", label));
    EXPECT_EQ(label, "PKBACK# 002");
    EXPECT_EQ(FindFiles("A:\\arc???.zip"), std::vector<std::string>{"arc002.zip"});
    EXPECT_TRUE(MapTestDrive('A', disk2, kDriveCdrom));

    UnmapTestDrive('A');
    EXPECT_EQ(DriveType("A:\\"), kDriveNoRootDir);
    EXPECT_EQ(LogicalDrives() & 1u, 0u);
    for (const std::string& disk : {disk1, disk2}) {
        RemoveFile(disk + "\\.windows-label");
        RemoveFile(disk + "\\arc002.zip");
        RemoveFolder(disk);
    }
}

TEST(PathParts, DriveFolderNameAndExtension) {
    EXPECT_EQ(PathDrive("C:\\data\\arc.zip"), "C:");
    EXPECT_EQ(PathDriveRoot("c:arc.zip"), "c:\\");
    EXPECT_EQ(PathDriveRoot("\\\\server\\share\\data\\arc.zip"), "\\\\server\\share\\");
    EXPECT_EQ(PathDrive("//server/share"), "//server/share");
    EXPECT_EQ(PathDrive("\\data\\arc.zip"), "");
    EXPECT_EQ(PathDrive("arc.zip"), "");

    EXPECT_EQ(PathFolder("C:\\data\\arc.zip"), "C:\\data\\");
    EXPECT_EQ(PathFolder("C:arc.zip"), "C:");
    EXPECT_EQ(PathFolder("a/b.zip"), "a/");
    EXPECT_EQ(PathFolder("arc.zip"), "");
    EXPECT_EQ(PathFileName("\\\\server\\share\\arc.zip"), "arc.zip");
    EXPECT_EQ(PathFileName("C:\\data\\"), "");

    EXPECT_EQ(PathExtension("C:\\data\\arc.part.ZIP"), ".ZIP");
    EXPECT_EQ(PathExtension("C:\\data.d\\arc"), "");  // a dot in a folder is no extension
    EXPECT_EQ(PathExtension(".zip"), ".zip");
    EXPECT_EQ(ChangePathExtension("C:\\data\\setup.exe", ".zip"), "C:\\data\\setup.zip");
    EXPECT_EQ(ChangePathExtension("C:\\data.d\\arc", ".z01"), "C:\\data.d\\arc.z01");
    EXPECT_EQ(ChangePathExtension("arc.zip", ""), "arc");
}

TEST(FullPathName, ResolvesDotsSlashesAndRelativeNames) {
    EXPECT_EQ(FullPathName("C:\\a\\..\\b\\.\\c.zip"), "C:\\b\\c.zip");
    EXPECT_EQ(FullPathName("C:/a/b/"), "C:\\a\\b\\");
    EXPECT_EQ(FullPathName("C:\\a\\..\\.."), "C:\\");
    EXPECT_EQ(FullPathName("\\\\server\\share\\x\\..\\y.zip"), "\\\\server\\share\\y.zip");
    EXPECT_EQ(FullPathName(""), "");

    const std::string current = FullPathName(".");
    ASSERT_GE(current.size(), 3u);
    EXPECT_EQ(current.substr(1, 2), ":\\") << current;
    const std::string folder = current.back() == '\\' ? current : current + "\\";
    EXPECT_EQ(FullPathName("sub\\arc.zip"), folder + "sub\\arc.zip");
    EXPECT_EQ(FullPathName("\\arc.zip"), current.substr(0, 2) + "\\arc.zip");
    // The drive-relative form of another drive than the current one starts at its root.
    const std::string other = current[0] == 'C' || current[0] == 'c' ? "Z:" : "C:";
    EXPECT_EQ(FullPathName(other + "arc.zip"), other + "\\arc.zip");
}

TEST(FindFiles, WildcardsMatchTheWindowsWayWithoutFolders) {
    const std::string dir = "C:\\find-test";
    MakeFolder(dir);
    const char* names[] = {"arc001.zip", "ARC002.ZIP", "arc1.zip", "arc0001.zip",
                           "name.z01",   "name.zip",   "name.z",   "other.z01"};
    for (const char* name : names) std::ofstream(HostPath(dir + "\\" + name)) << "x";
    MakeFolder(dir + "\\arc003.zip");  // folders are listed too

    auto sorted = [](std::vector<std::string> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    using Names = std::vector<std::string>;
    EXPECT_EQ(sorted(FindFiles(dir + "\\arc???.zip")),
              (Names{"ARC002.ZIP", "arc001.zip", "arc003.zip"}));
    EXPECT_EQ(sorted(FindFiles(dir + "\\NAME.z??*")), (Names{"name.z01", "name.zip"}));
    EXPECT_EQ(FindFiles(dir + "\\name.zip"), (Names{"name.zip"}));
    EXPECT_EQ(FindFiles(dir + "\\*").size(), std::size(names) + 1);  // no "." or ".."
    EXPECT_TRUE(FindFiles(dir + "\\*.cab").empty());
    EXPECT_TRUE(FindFiles("C:\\find-test-missing\\*").empty());

    for (const char* name : names) RemoveFile(dir + "\\" + name);
    RemoveFolder(dir + "\\arc003.zip");
    RemoveFolder(dir);
}
