// The base of engine tests that extract: the engine loaded, a fresh folder named for the test
// with an empty destination folder "out" in it, and the whole folder removed afterwards.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/Files.h"
#include "tests/engine/EngineHarness.h"
#include "tests/fixtures/ZipWriter.h"

namespace engine_test {

class EngineFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Engine().error, "");
        dir_ = MakeTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        out_ = dir_ + "\\out";
        ASSERT_TRUE(platform::MakeFolder(out_));
    }
    void TearDown() override { RemoveTree(dir_); }

    // Writes the archive into the test's folder under `name`: its path.
    std::string Save(const fixtures::Archive& archive, const std::string& name = "test.zip") {
        const std::string path = dir_ + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, archive.bytes));
        return path;
    }

    std::string dir_, out_;
};

}  // namespace engine_test
