// The process finder and terminator against the machine's real processes: copies of the idle
// test program running under a product's name.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/ProcessControl.h"
#include "platform/Files.h"
#include "tests/support/ChildProcess.h"

namespace {

const std::string kFolder = "C:\\ProcessTest";
const std::string kOtherFolder = "C:\\ProcessTestElsewhere";

class ProcessControlTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::MakeFolder(kFolder);
        ASSERT_TRUE(testing_machine::CopyHostFile(testing_machine::IdleProgramHostPath(), Program()));
    }
    void TearDown() override {
        first.Stop();
        second.Stop();
        platform::RemoveFile(Program());
        platform::RemoveFile(kOtherFolder + "\\voxTram.exe");
        platform::RemoveFolder(kOtherFolder);
    }
    static std::string Program() { return kFolder + "\\voxTram.exe"; }
    // A stopped process may take a moment to leave the process table.
    static int FindSettled(const std::string& name, int expected, const std::string& folder = "") {
        const auto find = [&] {
            return folder.empty() ? FindRunningProcess(name) : FindRunningProcess(name, folder);
        };
        int rc = find();
        for (int i = 0; i < 50 && rc != expected; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            rc = find();
        }
        return rc;
    }
    testing_machine::ChildProcess first, second;
};

TEST_F(ProcessControlTest, FoundWithoutRegardToCaseStoppedThenGone) {
    ASSERT_TRUE(first.Start(Program()));
    EXPECT_EQ(FindRunningProcess("voxtram.exe"), kProcessRunning);
    EXPECT_EQ(FindRunningProcess("VOXTRAM.EXE"), kProcessRunning);
    EXPECT_EQ(StopRunningProcess("voxTram.exe"), kProcessStopped);
    EXPECT_EQ(FindSettled("voxTram.exe", kProcessNotFound), kProcessNotFound);
    EXPECT_EQ(StopRunningProcess("voxTram.exe"), kProcessNotFound);
}

TEST_F(ProcessControlTest, OnlyTheFirstOfTwoCopiesIsStopped) {
    ASSERT_TRUE(first.Start(Program()));
    ASSERT_TRUE(second.Start(Program()));
    EXPECT_EQ(StopRunningProcess("VOXTRAM.EXE"), kProcessStopped);
    for (int i = 0; i < 50 && first.Running() && second.Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_NE(first.Running(), second.Running());  // exactly one was ended
    EXPECT_EQ(FindRunningProcess("voxtram.exe"), kProcessRunning);
}

// A program of the product's name that runs from another folder is not the product's: the
// finder and terminator for the folder pass it over, the search by name alone still sees it.
TEST_F(ProcessControlTest, ADecoyElsewhereIsLeftAloneAndTheCopyInTheFolderIsStopped) {
    const std::string decoy = kOtherFolder + "\\voxTram.exe";
    platform::MakeFolder(kOtherFolder);
    ASSERT_TRUE(testing_machine::CopyHostFile(testing_machine::IdleProgramHostPath(), decoy));
    ASSERT_TRUE(second.Start(decoy));  // first in the process list
    EXPECT_EQ(FindRunningProcess("voxTram.exe", kFolder), kProcessNotFound);
    EXPECT_EQ(StopRunningProcess("voxTram.exe", kFolder), kProcessNotFound);
    ASSERT_TRUE(first.Start(Program()));
    EXPECT_EQ(FindRunningProcess("VOXTRAM.EXE", kFolder), kProcessRunning);
    EXPECT_EQ(StopRunningProcess("voxtram.exe", kFolder), kProcessStopped);
    EXPECT_EQ(FindSettled("voxTram.exe", kProcessNotFound, kFolder), kProcessNotFound);
    EXPECT_TRUE(second.Running());
    EXPECT_EQ(FindRunningProcess("voxTram.exe"), kProcessRunning);
}

TEST(ProcessNames, EmptyAndOverlongNamesAreRefusedAndTheLongestAllowedIsSearched) {
    EXPECT_EQ(FindRunningProcess(""), kProcessBadName);
    EXPECT_EQ(StopRunningProcess(""), kProcessBadName);
    EXPECT_EQ(FindRunningProcess(std::string(261, 'a')), kProcessBadName);
    EXPECT_EQ(StopRunningProcess(std::string(261, 'a')), kProcessBadName);
    EXPECT_EQ(FindRunningProcess(std::string(256, 'a') + ".exe"), kProcessNotFound);
    EXPECT_EQ(FindRunningProcess("no-such-program.exe"), kProcessNotFound);
}

}  // namespace
