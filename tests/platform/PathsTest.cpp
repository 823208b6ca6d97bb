#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/Paths.h"

using namespace platform;

TEST(Paths, DesktopAndProgramsFoldersExistAsWindowsPaths) {
    for (int csidl : {kCsidlDesktop, kCsidlPrograms}) {
        std::string path;
        ASSERT_TRUE(GetSpecialFolderPath(csidl, path)) << csidl;
        EXPECT_EQ(path.substr(1, 2), ":\\") << path;
        EXPECT_NE(path.back(), '\\');
        struct stat st;
        EXPECT_EQ(stat(HostPath(path).c_str(), &st), 0) << path;
    }
}
