#include <gtest/gtest.h>

#include <fstream>

#include "platform/Files.h"
#include "platform/Paths.h"

using namespace platform;

TEST(Files, RemoveFileDeletesFilesOnlyAndFoldersComeAndGoOneLevel) {
    const std::string dir = "C:\\files-test";
    RemoveFile(dir + "\\a.txt");  // what an interrupted earlier run may have left
    RemoveFolder(dir);
    ASSERT_TRUE(MakeFolder(dir));
    EXPECT_FALSE(MakeFolder(dir));                              // exists already
    EXPECT_FALSE(MakeFolder("C:\\files-test-missing\\child"));  // parent missing
    const std::string file = dir + "\\a.txt";
    std::ofstream(HostPath(file)) << "x";
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(RemoveFile(dir));  // a folder is not a file
    EXPECT_TRUE(RemoveFile(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(RemoveFile(file));  // already gone
    EXPECT_TRUE(FileExists(dir));
    EXPECT_TRUE(RemoveFolder(dir));
    EXPECT_FALSE(FileExists(dir));
}
