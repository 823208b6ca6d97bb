// The POSIX registry store: a file a person can read, and one that is never clobbered.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Registry.h"

using namespace platform;

namespace {

std::string StoreFile() { return std::string(std::getenv("SETUP_IVOX_PREFIX")) + "/registry.reg"; }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override { std::remove(StoreFile().c_str()); }
    void TearDown() override { std::remove(StoreFile().c_str()); }
};

TEST_F(RegistryStoreTest, StoreIsReadableTextWithEscapes) {
    RegKey key;
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, "SoftWare\\Solvenza Corp\\ERP\\Quillora"), kRegOk);
    ASSERT_EQ(key.WriteString("AppPath", "C:\\Solvenza \"q\""), kRegOk);
    ASSERT_EQ(key.WriteDword("DisableDHCPMediaSense", 1), kRegOk);
    const std::string text = ReadAll(StoreFile());
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SoftWare\\Solvenza Corp\\ERP\\Quillora]\n"), std::string::npos);
    EXPECT_NE(text.find("\"AppPath\"=\"C:\\\\Solvenza \\\"q\\\"\"\n"), std::string::npos);
    EXPECT_NE(text.find("\"DisableDHCPMediaSense\"=dword:00000001\n"), std::string::npos);

    // What a person edits by hand is what the program reads.
    std::ofstream(StoreFile(), std::ios::app) << "\n[HKEY_LOCAL_MACHINE\\X]\n\"v\"=\"hand made\"\n";
    RegKey x;
    ASSERT_EQ(x.Open(RegRoot::LocalMachine, "X"), kRegOk);
    std::string v;
    EXPECT_EQ(x.ReadString("v", v), kRegOk);
    EXPECT_EQ(v, "hand made");
}

TEST_F(RegistryStoreTest, UnreadableStoreIsReportedAndNeverOverwritten) {
    const std::string broken = "[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:nothex!\n";
    std::ofstream(StoreFile(), std::ios::binary) << broken;
    RegKey key;
    EXPECT_EQ(key.Create(RegRoot::LocalMachine, "B"), kRegBadStore);
    EXPECT_EQ(key.Open(RegRoot::LocalMachine, "A"), kRegBadStore);
    EXPECT_EQ(DeleteKeyTree(RegRoot::LocalMachine, "A"), kRegBadStore);
    EXPECT_EQ(ReadAll(StoreFile()), broken);
}

TEST_F(RegistryStoreTest, AKeyDeletedWhileOpenRefusesWrites) {
    RegKey key;
    ASSERT_EQ(key.Create(RegRoot::LocalMachine, "Gone"), kRegOk);
    ASSERT_EQ(DeleteKeyTree(RegRoot::LocalMachine, "Gone"), kRegOk);
    EXPECT_NE(key.WriteString("v", "x"), kRegOk);
    RegKey probe;
    EXPECT_EQ(probe.Open(RegRoot::LocalMachine, "Gone"), kRegNotFound);
}

}  // namespace
