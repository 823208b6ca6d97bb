// The process finder through replaced system calls: the 9x snapshot path and the failures of
// binding the process interfaces, which a real NT machine never shows.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/ProcessControl.h"
#include "app/ProcessControl_win32.h"

namespace {

struct FakeProcess {
    DWORD id;
    std::vector<std::string> modules;
};

// What the fake machine looks like; every test sets it up.
struct Fake {
    DWORD platform = VER_PLATFORM_WIN32_WINDOWS;
    DWORD major = 4, minor = 10;
    bool versionFails = false;
    bool libraryMissing = false;
    std::string missingEntry;
    bool processSnapshotFails = false;
    DWORD moduleSnapshotFailsFor = 0;
    bool terminateFails = false;
    bool openFails = false;
    std::vector<FakeProcess> processes;
    std::vector<DWORD> terminated;
    std::string loaded;
    int openLibraries = 0;
    int openHandles = 0;
    size_t processCursor = 0, moduleCursor = 0;
    DWORD moduleOwner = 0;
} g;

HMODULE const kLib = reinterpret_cast<HMODULE>(0x1000);
HANDLE const kProcSnap = reinterpret_cast<HANDLE>(0x2000);
HANDLE const kModSnap = reinterpret_cast<HANDLE>(0x3000);
HANDLE const kProc = reinterpret_cast<HANDLE>(0x4000);

BOOL WINAPI GetVersionFake(OSVERSIONINFOA* v) {
    if (g.versionFails) return FALSE;
    v->dwPlatformId = g.platform;
    v->dwMajorVersion = g.major;
    v->dwMinorVersion = g.minor;
    return TRUE;
}
HMODULE WINAPI LoadFake(const char* name) {
    if (g.libraryMissing) return nullptr;
    g.loaded = name;
    ++g.openLibraries;
    return kLib;
}
BOOL WINAPI FreeFake(HMODULE) {
    --g.openLibraries;
    return TRUE;
}
HANDLE WINAPI SnapshotFake(DWORD flags, DWORD id) {
    if (flags == TH32CS_SNAPPROCESS) {
        if (g.processSnapshotFails) return INVALID_HANDLE_VALUE;
        g.processCursor = 0;
        ++g.openHandles;
        return kProcSnap;
    }
    if (id == g.moduleSnapshotFailsFor) return INVALID_HANDLE_VALUE;
    g.moduleOwner = id;
    g.moduleCursor = 0;
    ++g.openHandles;
    return kModSnap;
}
BOOL WINAPI ProcessNextFake(HANDLE, tagPROCESSENTRY32* e) {
    if (g.processCursor >= g.processes.size()) return FALSE;
    e->th32ProcessID = g.processes[g.processCursor++].id;
    return TRUE;
}
BOOL WINAPI ProcessFirstFake(HANDLE h, tagPROCESSENTRY32* e) {
    g.processCursor = 0;
    return ProcessNextFake(h, e);
}
BOOL WINAPI ModuleNextFake(HANDLE, tagMODULEENTRY32* e) {
    for (const FakeProcess& p : g.processes) {
        if (p.id != g.moduleOwner) continue;
        if (g.moduleCursor >= p.modules.size()) return FALSE;
        std::strncpy(e->szModule, p.modules[g.moduleCursor++].c_str(), sizeof e->szModule - 1);
        return TRUE;
    }
    return FALSE;
}
BOOL WINAPI ModuleFirstFake(HANDLE h, tagMODULEENTRY32* e) {
    g.moduleCursor = 0;
    return ModuleNextFake(h, e);
}
FARPROC WINAPI ProcAddressFake(HMODULE, const char* name) {
    if (g.missingEntry == name) return nullptr;
    const std::string n = name;
    void* f = nullptr;
    if (n == "CreateToolhelp32Snapshot") f = reinterpret_cast<void*>(SnapshotFake);
    if (n == "Process32First") f = reinterpret_cast<void*>(ProcessFirstFake);
    if (n == "Process32Next") f = reinterpret_cast<void*>(ProcessNextFake);
    if (n == "Module32First") f = reinterpret_cast<void*>(ModuleFirstFake);
    if (n == "Module32Next") f = reinterpret_cast<void*>(ModuleNextFake);
    if (n == "EnumProcesses" || n == "EnumProcessModules" || n == "GetModuleBaseNameA")
        f = reinterpret_cast<void*>(ProcessNextFake);  // present; the NT tests never list processes
    return reinterpret_cast<FARPROC>(f);
}
HANDLE WINAPI OpenFake(DWORD, BOOL, DWORD id) {
    if (g.openFails) return nullptr;
    g.terminated.push_back(id);  // remembered on open; undone when termination fails
    ++g.openHandles;
    return kProc;
}
BOOL WINAPI TerminateFake(HANDLE, UINT) {
    if (g.terminateFails) g.terminated.pop_back();
    return !g.terminateFails;
}
BOOL WINAPI CloseFake(HANDLE) {
    --g.openHandles;
    return TRUE;
}

const ProcessSystem kFake = {GetVersionFake, LoadFake, ProcAddressFake, FreeFake,
                             OpenFake,       TerminateFake, CloseFake};

class ProcessSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        g = Fake();
        g.processes = {{4, {"SYSTEM.EXE"}}, {8, {"EXPLORER.EXE", "voxtram.exe"}},
                       {12, {"SHELL.DLL", "VOXTRAM.EXE"}}, {16, {"VOXTRAM.EXE"}}};
        UseProcessSystem(&kFake);
    }
    void TearDown() override {
        UseProcessSystem(nullptr);
        // Every call releases what it bound or opened.
        EXPECT_EQ(g.openLibraries, 0);
        EXPECT_EQ(g.openHandles, 0);
    }
};

TEST_F(ProcessSystemTest, NinetyFivePathMatchesEveryModuleExactlyAsReported) {
    EXPECT_EQ(FindRunningProcess("voxtram.exe"), kProcessRunning);
    EXPECT_EQ(g.loaded, "Kernel32.DLL");
    // Process 8 has "voxtram.exe" in lower case, which never equals the upper-case key; process
    // 12 matches through its second module.
    EXPECT_EQ(StopRunningProcess("voxTram.exe"), kProcessStopped);
    EXPECT_EQ(g.terminated, std::vector<DWORD>{12});
    EXPECT_EQ(FindRunningProcess("nothing.exe"), kProcessNotFound);
}

TEST_F(ProcessSystemTest, NinetyFivePathFailures) {
    g.openFails = true;
    EXPECT_EQ(StopRunningProcess("VOXTRAM.EXE"), kProcessOpenFailed);
    g.openFails = false;
    g.terminateFails = true;
    EXPECT_EQ(StopRunningProcess("VOXTRAM.EXE"), kProcessStopFailed);
    g.moduleSnapshotFailsFor = 8;  // ends the whole search, even though 12 would match
    EXPECT_EQ(FindRunningProcess("VOXTRAM.EXE"), kProcessSnapshotFailed);
    g.processSnapshotFails = true;
    EXPECT_EQ(FindRunningProcess("VOXTRAM.EXE"), kProcessSnapshotFailed);
    g.processSnapshotFails = false;
    g.processes.clear();
    EXPECT_EQ(FindRunningProcess("VOXTRAM.EXE"), kProcessNotFound);
}

TEST_F(ProcessSystemTest, BindingAndPlatformFailures) {
    for (const char* entry : {"CreateToolhelp32Snapshot", "Process32First", "Process32Next", "Module32First",
                              "Module32Next"}) {
        g.missingEntry = entry;
        EXPECT_EQ(FindRunningProcess("A.EXE"), kProcessSnapshotEntryMissing) << entry;
    }
    g.missingEntry.clear();
    g.libraryMissing = true;
    EXPECT_EQ(FindRunningProcess("A.EXE"), kProcessKernelMissing);

    g.platform = VER_PLATFORM_WIN32_NT;
    EXPECT_EQ(StopRunningProcess("A.EXE"), kProcessPsapiMissing);
    g.libraryMissing = false;
    for (const char* entry : {"EnumProcesses", "EnumProcessModules", "GetModuleBaseNameA"}) {
        g.missingEntry = entry;
        EXPECT_EQ(FindRunningProcess("A.EXE"), kProcessPsapiEntryMissing) << entry;
        EXPECT_EQ(g.loaded, "PSAPI.DLL");
    }
    // Only the platform counts: Windows 10 as it is, and as the 6.2 that Windows reports to a
    // program whose manifest names no newer system, takes the same path as XP and 7.
    const std::pair<DWORD, DWORD> versions[] = {{5, 1}, {6, 1}, {6, 2}, {10, 0}};
    for (const auto& [major, minor] : versions) {
        g.major = major;
        g.minor = minor;
        g.loaded.clear();
        g.missingEntry = "EnumProcesses";
        EXPECT_EQ(FindRunningProcess("A.EXE"), kProcessPsapiEntryMissing) << major << "." << minor;
        EXPECT_EQ(g.loaded, "PSAPI.DLL") << major << "." << minor;
    }
    g.missingEntry.clear();
    g.platform = 3;
    EXPECT_EQ(FindRunningProcess("A.EXE"), kProcessPlatformUnknown);
    g.versionFails = true;
    EXPECT_EQ(FindRunningProcess("A.EXE"), kProcessVersionFailed);
    // A bad name is refused before anything is asked of the system.
    g.loaded.clear();
    EXPECT_EQ(FindRunningProcess(""), kProcessBadName);
    EXPECT_EQ(g.loaded, "");
}

}  // namespace
