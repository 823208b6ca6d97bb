// A file that another program holds open cannot be replaced on Windows: the entry fails with a
// message, the file keeps its content, and no temporary file stays behind.
#include <gtest/gtest.h>

#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "tests/engine/EngineHarness.h"
#include "tests/fixtures/ZipWriter.h"

using namespace engine_test;

TEST(LockedFileTest, AFileInUseIsLeftAsItWas) {
    ASSERT_EQ(Engine().error, "");
    const std::string dir = MakeTestFolder("locked");
    fixtures::ZipWriter w;
    w.Add(fixtures::DeflatedEntry("busy.txt", "new content"));
    const std::string archive = dir + "\\a.zip";
    ASSERT_TRUE(WriteFileBytes(archive, w.Build().bytes));
    ASSERT_TRUE(WriteFileBytes(dir + "\\busy.txt", fixtures::ToBytes("in use")));
    const platform::FileHandle held = platform::FileOpen(
        dir + "\\busy.txt", platform::FileAccess::kRead, platform::FileShare::kDenyReadWrite,
        platform::FileDisposition::kOpenExisting);
    ASSERT_NE(held, platform::kInvalidFileHandle);

    Recorder recorder;
    Job job(recorder, archive);
    job.base = dir;
    job.overwrite = 1;
    EXPECT_EQ(job.Run(), 0);
    EXPECT_TRUE(recorder.HasError(DZ_ERROR_REPLACE)) << recorder.Errors();
    platform::FileClose(held);
    EXPECT_EQ(ReadFileBytes(dir + "\\busy.txt"), fixtures::ToBytes("in use"));
    EXPECT_EQ(ListTree(dir), (std::vector<std::string>{"a.zip", "busy.txt"}));
    RemoveTree(dir);
}
