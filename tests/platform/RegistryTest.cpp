// Runs against the real registry under Wine and against the prefix's store on POSIX hosts.
#include <gtest/gtest.h>

#include "platform/Registry.h"

using namespace platform;

namespace {

const char* const kBase = "SoftWare\\Setup_iVOX Tests";

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteKeyTree(RegRoot::LocalMachine, kBase); }
    void TearDown() override { DeleteKeyTree(RegRoot::LocalMachine, kBase); }
    static std::string Path(const char* sub) { return std::string(kBase) + "\\" + sub; }
};

TEST_F(RegistryTest, OpeningAMissingKeyFailsAndCreatesNothing) {
    RegKey key;
    EXPECT_EQ(key.Open(RegRoot::LocalMachine, Path("Missing")), kRegNotFound);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(key.Open(RegRoot::LocalMachine, Path("Missing")), kRegNotFound);
    EXPECT_EQ(key.Open(RegRoot::LocalMachine, kBase), kRegNotFound);
}

TEST_F(RegistryTest, CreateMakesMissingParentsAndValuesRoundTrip) {
    RegKey key;
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, Path("A\\B")), kRegOk);
    EXPECT_EQ(key.WriteString("AppPath", "D:\\Apps\\Acc"), kRegOk);
    EXPECT_EQ(key.WriteDword("Flag", 1), kRegOk);
    key.Close();

    RegKey parent;
    EXPECT_EQ(parent.Open(RegRoot::LocalMachine, Path("A")), kRegOk);

    RegKey again;
    ASSERT_EQ(again.Open(RegRoot::LocalMachine, Path("a\\b")), kRegOk);  // names ignore case
    std::string text;
    EXPECT_EQ(again.ReadString("apppath", text), kRegOk);
    EXPECT_EQ(text, "D:\\Apps\\Acc");
    uint32_t number = 0;
    EXPECT_EQ(again.ReadDword("Flag", number), kRegOk);
    EXPECT_EQ(number, 1u);
}

TEST_F(RegistryTest, MissingValuesAndWrongTypesAreReportedNotInvented) {
    RegKey key;
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, kBase), kRegOk);
    ASSERT_EQ(key.WriteDword("Number", 7), kRegOk);
    ASSERT_EQ(key.WriteString("Empty", ""), kRegOk);
    std::string text = "old";
    EXPECT_EQ(key.ReadString("Absent", text), kRegNotFound);
    EXPECT_EQ(text, "");
    EXPECT_EQ(key.ReadString("Number", text), kRegInvalidData);
    uint32_t n = 0;
    EXPECT_EQ(key.ReadDword("Empty", n), kRegInvalidData);
    EXPECT_EQ(key.ReadString("Empty", text), kRegOk);
    EXPECT_EQ(text, "");
}

TEST_F(RegistryTest, OverwritingAValueKeepsOneValue) {
    RegKey key;
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, kBase), kRegOk);
    ASSERT_EQ(key.WriteString("AppPath", "C:\\One"), kRegOk);
    ASSERT_EQ(key.WriteString("APPPATH", "C:\\Two"), kRegOk);
    std::string text;
    EXPECT_EQ(key.ReadString("AppPath", text), kRegOk);
    EXPECT_EQ(text, "C:\\Two");
}

TEST_F(RegistryTest, DeleteTreeRemovesSubKeysAndKeepsTheParent) {
    RegKey key;
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, Path("Product\\Sub1\\Deep")), kRegOk);
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, Path("Product\\Sub2")), kRegOk);
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, Path("ProductOther")), kRegOk);
    key.Close();

    EXPECT_EQ(DeleteKeyTree(RegRoot::LocalMachine, Path("Product")), kRegOk);
    RegKey probe;
    EXPECT_EQ(probe.Open(RegRoot::LocalMachine, Path("Product")), kRegNotFound);
    EXPECT_EQ(probe.Open(RegRoot::LocalMachine, Path("Product\\Sub1\\Deep")), kRegNotFound);
    EXPECT_EQ(probe.Open(RegRoot::LocalMachine, Path("ProductOther")), kRegOk);  // a sibling, not a child
    EXPECT_EQ(probe.Open(RegRoot::LocalMachine, kBase), kRegOk);
    EXPECT_EQ(DeleteKeyTree(RegRoot::LocalMachine, Path("Product")), kRegNotFound);
}

}  // namespace
