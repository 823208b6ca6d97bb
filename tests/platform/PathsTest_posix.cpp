#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/Paths.h"

using namespace platform;

TEST(HostPaths, DrivesMapIntoThePrefix) {
    const std::string prefix = std::getenv("SETUP_IVOX_PREFIX");
    EXPECT_EQ(HostPath("C:\\Solvenza\\ivoxcc.exe"), prefix + "/drive_c/Solvenza/ivoxcc.exe");
    EXPECT_EQ(HostPath("c:\\"), prefix + "/drive_c/");
    EXPECT_EQ(HostPath("C:"), prefix + "/drive_c");
    EXPECT_EQ(HostPath("Z:\\tmp\\x"), "/tmp/x");
    EXPECT_EQ(HostPath("sub\\file.txt"), "sub/file.txt");
    EXPECT_EQ(HostPath("Q:\\nowhere"), "");  // a drive the prefix does not define
    EXPECT_EQ(std::string(ShortcutExtension()), ".desktop");
}
