// Binding the engine: test engines of several versions, found by folder, held by reasons, and
// their failures turned into the component's errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/Zbmsgstr.h"
#include "archive/ZipBuilder.h"
#include "platform/Files.h"
#include "platform/Modules.h"
#include "platform/PathParts.h"
#include "tests/archive/support/ArchiveFiles.h"
#include "tests/archive/support/FakeEngineDriver.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

using testing_engines::EngineFolder;
using testing_engines::FakeEngine;

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

class EngineBindingTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        archivePath = testing_archives::SmallArchive(testing_archives::FreshFolder("bind"));
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

    // Takes the engine folder over into the worker, as every operation's start does.
    void UseFolder(const std::string& folder) {
        z->DLLDirectory = folder;
        z->SetFileName(archivePath);
        ASSERT_EQ(z->Count(), 2);
        log.clear();
    }
    // Whether an engine lies beside the test program, where the plain name would find it.
    static bool EngineBesideProgram() {
        return platform::FileExists(platform::PathFolder(platform::ProgramFileName()) +
                                    kEngineFileName);
    }
    int Count(const std::string& prefix) const {
        int n = 0;
        for (const std::string& m : log) n += m.compare(0, prefix.size(), prefix) == 0;
        return n;
    }

    std::string archivePath;
    std::unique_ptr<TZipBuilder> z;
    std::vector<std::string> log;
};

TEST_F(EngineBindingTest, WithoutAnEngineTheOperationFailsNamingTheModule) {
    if (EngineBesideProgram()) GTEST_SKIP() << "an engine lies beside the test program";
    z->Verbose = true;
    UseFolder("");
    EXPECT_EQ(z->Extract(), 10650);
    EXPECT_EQ(z->GetErrCode(), 10650);
    ASSERT_GE(log.size(), 2u);
    // The system's reason comes first, then the error.
    EXPECT_EQ(log[log.size() - 2].compare(0, 13, "0 Error [126 "), 0) << log[log.size() - 2];
    EXPECT_TRUE(EndsWith(log[log.size() - 2], "] loading DelZip179.dll "));
    EXPECT_EQ(log.back(), "10650 Failed to load DelZip179.dll");
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(z->Worker().LoadReasons(), 0u);
    EXPECT_EQ(z->Worker().DllVersion(), 0);
}

TEST_F(EngineBindingTest, OnlyInterfaceVersions179To300AreAccepted) {
    for (const char* old : {"v178", "v301"}) {
        UseFolder(EngineFolder(old));
        z->SetDll_Load(true);
        EXPECT_FALSE(z->Dll_Load()) << old;
        EXPECT_EQ(z->GetErrCode(), 10651) << old;
        ASSERT_EQ(log.size(), 1u) << old;
        EXPECT_EQ(log[0].compare(0, 21, "10651 Unable to load "), 0) << log[0];
        EXPECT_TRUE(EndsWith(log[0], "DelZip179.dll - It is old or corrupt")) << log[0];
        EXPECT_NE(log[0].find(old), std::string::npos) << log[0];
        EXPECT_EQ(z->Worker().LoadReasons(), 0u);
    }
    const std::pair<const char*, int32_t> good[] = {{"v179", 1790801}, {"v300", 3000102}};
    for (auto [flavour, build] : good) {
        UseFolder(EngineFolder(flavour));
        z->SetDll_Load(true);
        EXPECT_TRUE(z->Dll_Load()) << flavour;
        EXPECT_EQ(z->Dll_Build(), build);
        EXPECT_NE(z->Dll_Path().find(flavour), std::string::npos) << z->Dll_Path();
        z->SetDll_Load(false);
        EXPECT_FALSE(z->Dll_Load());
        EXPECT_TRUE(log.empty()) << log[0];
    }
}

TEST_F(EngineBindingTest, AModuleWithoutEveryExportIsRefusedUnderTheKnownName) {
    UseFolder(EngineFolder("nopath"));
    z->SetDll_Load(true);
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(
        log,
        (std::vector<std::string>{"10651 Unable to load DelZip179.dll - It is old or corrupt"}));
}

TEST_F(EngineBindingTest, ARelativeFolderIsTakenFromTheProgramsFolder) {
    UseFolder(".\\engines\\v179");
    z->SetDll_Load(true);
    ASSERT_TRUE(z->Dll_Load());
    EXPECT_NE(z->Dll_Path().find("v179"), std::string::npos);
    z->SetDll_Load(false);

    // Nothing there: the plain name, through the module search.
    if (EngineBesideProgram()) return;
    UseFolder(".\\engines\\none");
    z->SetDll_Load(true);
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(log, (std::vector<std::string>{"10650 Failed to load DelZip179.dll"}));
}

TEST_F(EngineBindingTest, DllLoadKeepsTheEngineAcrossOperations) {
    FakeEngine engine;
    engine.Script({}, 2);
    z->Verbose = true;
    UseFolder(engine.Folder());

    // Without it, every operation loads and unloads the engine.
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(z->SuccessCnt(), 2);
    EXPECT_EQ(Count("0 Loaded "), 1);
    EXPECT_EQ(Count("0 Unloaded "), 1);
    EXPECT_FALSE(z->Dll_Load());

    log.clear();
    z->SetDll_Load(true);
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_TRUE(z->Dll_Load());
    EXPECT_EQ(engine.Calls(), 3);
    EXPECT_EQ(Count("0 Loaded "), 1);
    EXPECT_EQ(Count("0 Unloaded "), 0);
    z->SetDll_Load(false);
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(Count("0 Unloaded "), 1);
    EXPECT_TRUE(EndsWith(log.back(), "DelZip179.dll")) << log.back();
}

TEST_F(EngineBindingTest, VersionTextTellsWhetherTheEngineHadToBeLoaded) {
    z->Verbose = true;
    UseFolder(EngineFolder("v179"));
    EXPECT_EQ(z->Dll_Version(), "[1.79.08.01]");
    // Loaded for the question only, and unloaded again at once.
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(Count("0 Loaded "), 1);
    EXPECT_EQ(Count("0 Unloaded "), 1);
    z->SetDll_Load(true);
    EXPECT_EQ(z->Dll_Version(), " 1.79.08.01 ");
    EXPECT_EQ(z->Dll_Build(), 1790801);
    EXPECT_TRUE(z->Dll_Load());
}

TEST_F(EngineBindingTest, NegativeEngineResultsBecomeTheirErrors) {
    FakeEngine engine;
    UseFolder(engine.Folder());
    const std::pair<int32_t, std::string> table[] = {
        {-1, "10120 DLL Error - User Cancelled"},
        {-2, "10118 DLL Error - Aborting"},
        {-3, "10123 DLL Error - Exception in handler "},
        {-4, "10121 DLL Error - Not enough memory"},
        {-5, "10122 DLL Error - Invalid structure"},
        {-6, "10124 critical DLL Error -6"},
        // What a guarded engine answers when something escaped inside it.
        {-7, "10124 critical DLL Error -7"},
    };
    for (const auto& [result, message] : table) {
        engine.Script({}, result);
        log.clear();
        EXPECT_EQ(z->Extract(), std::stoi(message.substr(0, 5)));
        EXPECT_EQ(z->SuccessCnt(), 0);
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back(), message);
    }
#if defined(_WIN32) && defined(__i386__)
    // The 32-bit Windows toolchain gives each module its own unwinder: an exception that leaves
    // a module ends the program inside that module before any handler of ours runs, so a module
    // that breaks the rule cannot be survived there. Our engine guards every export instead.
    GTEST_SKIP() << "exceptions do not cross module boundaries on this target";
#endif
    // An exception that crosses the boundary is result -7; the engine is unloaded all the same.
    engine.Script({}, 5, kFakeRaise);
    log.clear();
    EXPECT_EQ(z->Extract(), kMsgDllCritical);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "10124 critical DLL Error -7");
    EXPECT_FALSE(z->Dll_Load());
    EXPECT_EQ(z->Worker().LoadReasons(), 0u);
}

TEST_F(EngineBindingTest, AbortReachesARunningEngineWithItsValue) {
    FakeEngine engine;
    UseFolder(engine.Folder());
    // Not loaded: only the cancel flag.
    z->AbortDll();
    EXPECT_TRUE(z->Cancel());
    EXPECT_EQ(engine.AbortCalls(), 0);

    z->SetOnTick([this](ui::Component*) { z->AbortDll(); });
    engine.Script({FakeStep{DZ_ACT_ABORT_VALUE, 0, 77, "", 0, 0, nullptr, 0, 0, nullptr, 0},
                   FakeStep{DZ_ACT_TICK, 0, 0, "", 0, 0, nullptr, 0, 0, nullptr, 0}},
                  -1);
    EXPECT_EQ(z->Extract(), kMsgDllCancelled);
    EXPECT_EQ(engine.AbortCalls(), 1);
    EXPECT_EQ(engine.AbortValue(), 77);
    EXPECT_EQ(engine.Outcome(1).result, DZ_CB_CANCEL);
    EXPECT_EQ(z->Worker().AbortHandle, 0);
}

}  // namespace
}  // namespace archive
