// An engine carried in the program's own resources (this test program carries one: build
// 1790805 as string 11612, its image as raw data 11613), written to a temporary file and loaded
// when it is newer than the one on disk, or as the only engine when DLLDirectory asks for it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ZipBuilder.h"
#include "platform/Files.h"
#include "platform/Modules.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

std::string EngineFolder(const std::string& flavour) {
    std::string path = "Z:" + std::string(SETUP_FAKE_ENGINES) + "/" + flavour;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

class ResourceEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        Make();
    }
    // A new component whose messages go to `log`.
    void Make() {
        z = std::make_unique<TZipBuilder>(nullptr, "z");
        z->Unattended = true;
        z->SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            log.push_back(std::to_string(code) + " " + m);
        });
    }
    void TearDown() override {
        z.reset();
        ui::Application::Instance().Shutdown();
    }
    // Takes the settings over into the worker, as every operation's start does.
    void Start() {
        ASSERT_EQ(z->Starting(), 0);
        z->Done();
    }

    std::unique_ptr<TZipBuilder> z;
    std::vector<std::string> log;
};

TEST_F(ResourceEngineTest, ANewerEngineInTheResourcesIsWrittenOutAndUsed) {
    EXPECT_EQ(ResourceEngineBuild(), 1790805);
    z->Trace = true;
    z->DLLDirectory = EngineFolder("v179");  // build 1790801 on disk: the resource one is newer
    Start();
    z->SetDll_Load(true);
    ASSERT_TRUE(z->Dll_Load());
    EXPECT_EQ(z->Dll_Build(), 1790805);
    const std::string temp = z->Worker().TempDllPath();
    const std::string name = platform::PathFileName(temp);
    EXPECT_EQ(name.compare(0, 3, "DZ_"), 0) << temp;
    EXPECT_EQ(platform::PathExtension(temp), ".dll");
    EXPECT_TRUE(platform::FileExists(temp));
    EXPECT_EQ(platform::PathFileName(z->Dll_Path()), name);
    EXPECT_NE(std::find(log.begin(), log.end(), "0 extracted resource dll " + temp + " 1790805"),
              log.end());

    // Unloaded, the file stays for the next load; the component takes it away when it goes.
    z->SetDll_Load(false);
    EXPECT_TRUE(platform::FileExists(temp));
    z->SetDll_Load(true);
    EXPECT_EQ(z->Worker().TempDllPath(), temp);
    z.reset();
    EXPECT_FALSE(platform::FileExists(temp));
}

TEST_F(ResourceEngineTest, ANewerEngineOnDiskWins) {
    z->DLLDirectory = EngineFolder("v300");  // build 3000102
    Start();
    z->SetDll_Load(true);
    EXPECT_EQ(z->Dll_Build(), 3000102);
    EXPECT_EQ(z->Worker().TempDllPath(), "");
}

TEST_F(ResourceEngineTest, AskedForByFolderAndDroppedWhenTheFolderChanges) {
    z->DLLDirectory = "><";
    Start();
    z->SetDll_Load(true);
    ASSERT_TRUE(z->Dll_Load());
    const std::string temp = z->Worker().TempDllPath();
    EXPECT_TRUE(platform::FileExists(temp));

    // Another folder: the loaded temporary engine stays in use until it is unloaded.
    z->DLLDirectory = EngineFolder("v300");
    Start();
    EXPECT_TRUE(z->Dll_Load());
    EXPECT_TRUE(platform::FileExists(temp));
    z->SetDll_Load(false);
    EXPECT_FALSE(platform::FileExists(temp));
    z->SetDll_Load(true);
    EXPECT_EQ(z->Dll_Build(), 3000102);
}

TEST_F(ResourceEngineTest, AskedForByFolderNothingElseStandsInAndItIsWrittenAndLoadedOnce) {
    // A newer engine beside the program, where a search by name looks first (the program has a
    // folder of its own).
    const std::string beside = platform::PathFolder(platform::ProgramFileName()) + "DelZip179.dll";
    std::filesystem::copy_file(platform::HostPath(EngineFolder("v300") + "\\DelZip179.dll"),
                               platform::HostPath(beside),
                               std::filesystem::copy_options::overwrite_existing);
    z->DLLDirectory = "><";
    z->Verbose = true;
    Start();
    z->SetDll_Load(true);
    EXPECT_EQ(z->Dll_Build(), 1790805);
    const std::string temp = z->Worker().TempDllPath();
    EXPECT_TRUE(platform::FileExists(temp));
    // Every later operation uses the engine as it was loaded: it stays, and so does its file,
    // with no second write and no second load.
    z->SetDll_Load(false);
    EXPECT_TRUE(z->Dll_Load());
    Start();
    z->SetDll_Load(true);
    EXPECT_EQ(z->Worker().TempDllPath(), temp);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.find(" Loaded ") != l.npos; }),
              1);
    z.reset();
    EXPECT_FALSE(platform::FileExists(temp)) << "still there after the component went: " << temp;

    // Nowhere to write the carried engine: the load fails rather than take the one beside.
    Make();
    z->DLLDirectory = "><";
    z->TempDir = platform::PathFolder(platform::ProgramFileName()) + "missing";
    Start();
    z->SetDll_Load(true);
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(z->GetErrCode(), 10650);
    EXPECT_EQ(log.back(), "10650 Failed to load DelZip179.dll");
    platform::RemoveFile(beside);
}

}  // namespace
}  // namespace archive
