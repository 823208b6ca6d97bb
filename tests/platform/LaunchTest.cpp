// Starting a file hidden with its type's default action: a batch script runs in the working
// folder it is given, found whatever the letter case of its name.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/Files.h"
#include "platform/Launch.h"
#include "platform/Paths.h"
#include "tests/support/ChildProcess.h"

namespace {

const std::string kFolder = "C:\\LaunchTest";

TEST(Launch, ABatchScriptRunsInItsWorkingFolderWhateverTheCaseOfItsName) {
    ASSERT_TRUE(platform::MakeFolder(kFolder));
    ASSERT_TRUE(platform::MakeFolder(kFolder + "\\Work"));
    // The first line is for a POSIX shell (cmd takes it for a label), the rest for cmd.
    std::ofstream(platform::HostPath(kFolder + "\\Run Me.bat"), std::ios::binary)
        << ":; echo ran > ran.txt; exit 0\r\n@echo off\r\necho ran> ran.txt\r\n";

    EXPECT_TRUE(platform::LaunchHidden(kFolder + "\\RUN ME.BAT", kFolder + "\\work\\"));
    const std::string marker = kFolder + "\\Work\\ran.txt";
    for (int i = 0; i < 200 && !platform::FileExists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(platform::FileExists(marker));

    EXPECT_FALSE(platform::LaunchHidden(kFolder + "\\Missing.bat", kFolder));
    // The script may still hold its folder for a moment after writing.
    testing_machine::RemoveFolderWhenFree(kFolder);
}

}  // namespace
