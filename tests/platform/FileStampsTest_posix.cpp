// Putting a finished file in place on a POSIX host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <fstream>

#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

// A new target is never taken for a running program: the status of the program that a refused
// replacement just read is what a failed stat() leaves in the same place of the next call.
TEST(FileStampsPosix, ANewTargetIsNeverTakenForTheProgramReadBefore) {
    char self[PATH_MAX] = {};
    ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string program = "Z:" + std::string(self);
    const std::string from = platform::TempFolder() + "replace-from";
    const std::string to = platform::TempFolder() + "replace-to";
    std::ofstream(platform::HostPath(from)) << "content";
    platform::RemoveFile(to);
    bool refused = true, placed = true;
    for (int i = 0; i < 4; ++i) {
        refused = refused && !platform::ReplaceFileWith(from, program);
        placed = placed && platform::ReplaceFileWith(from, to);
        if (placed) platform::ReplaceFileWith(to, from);
    }
    EXPECT_TRUE(refused);
    EXPECT_TRUE(placed);
    platform::RemoveFile(from);
}

}  // namespace
