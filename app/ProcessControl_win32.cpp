// Both process interfaces of Windows: PSAPI on the NT family, ToolHelp snapshots on the 9x
// family. Each call binds its library afresh and releases everything before it returns.
#include "app/ProcessControl_win32.h"

#include <tlhelp32.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/ProcessControl.h"
#include "platform/Text.h"

namespace {

#ifndef _WIN64
// The record sizes the snapshot entry points expect on 32-bit Windows.
static_assert(sizeof(tagPROCESSENTRY32) == 296, "PROCESSENTRY32 layout");
static_assert(sizeof(tagMODULEENTRY32) == 548, "MODULEENTRY32 layout");
#endif

BOOL WINAPI RealGetVersion(OSVERSIONINFOA* info) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(info);
#pragma GCC diagnostic pop
}

const ProcessSystem kReal = {RealGetVersion, LoadLibraryA,     GetProcAddress, FreeLibrary,
                             OpenProcess,    TerminateProcess, CloseHandle};
const ProcessSystem* g_system = &kReal;

using EnumProcessesFn = BOOL(WINAPI*)(DWORD*, DWORD, DWORD*);
using EnumProcessModulesFn = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, DWORD*);
using GetModuleBaseNameFn = DWORD(WINAPI*)(HANDLE, HMODULE, char*, DWORD);
using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, tagPROCESSENTRY32*);
using ModuleWalkFn = BOOL(WINAPI*)(HANDLE, tagMODULEENTRY32*);

template <class F>
F Bind(HMODULE lib, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(g_system->getProcAddress(lib, name)));
}

// The executable of the process as the system names it; empty when it cannot be read.
std::u16string ImageOf(DWORD id) {
    HANDLE h = g_system->openProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!h) return u"";
    std::vector<wchar_t> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size());
    const BOOL ok = QueryFullProcessImageNameW(h, 0, buffer.data(), &size);
    g_system->closeHandle(h);
    return ok ? std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), size) : u"";
}

// Whether the two paths lead to one file (another spelling, a short name, a second link).
bool SameFile(const std::u16string& a, const std::u16string& b) {
    BY_HANDLE_FILE_INFORMATION info[2] = {};
    const std::u16string* paths[2] = {&a, &b};
    for (int i = 0; i < 2; ++i) {
        HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(paths[i]->c_str()), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const BOOL ok = GetFileInformationByHandle(h, &info[i]);
        CloseHandle(h);
        if (!ok) return false;
    }
    return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
           info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
           info[0].nFileIndexLow == info[1].nFileIndexLow;
}

// Whether the process with that id runs from `image` (an ANSI Windows path): its executable is
// that path, letter case aside, or the same file by another name. `actual` names it.
bool RunsFrom(DWORD id, const std::string& image, std::string& actual) {
    const std::u16string theirs = ImageOf(id);
    actual = theirs.empty() ? "?" : platform::Utf16ToAnsi(theirs);
    if (theirs.empty()) return false;
    const std::u16string mine = platform::AnsiToUtf16(image);
    const auto wide = [](const std::u16string& s) { return reinterpret_cast<LPCWSTR>(s.c_str()); };
    return CompareStringOrdinal(wide(theirs), -1, wide(mine), -1, TRUE) == CSTR_EQUAL ||
           SameFile(theirs, mine);
}

// Ends the process with that id: 0, 604 when it does not open, 602 when termination fails.
int Terminate(DWORD id) {
    HANDLE h = g_system->openProcess(PROCESS_TERMINATE, FALSE, id);
    if (!h) return kProcessOpenFailed;
    const BOOL ok = g_system->terminateProcess(h, 0);
    g_system->closeHandle(h);
    return ok ? kProcessStopped : kProcessStopFailed;
}

int SearchNt(const std::string& key, bool stop) {
    HMODULE lib = g_system->loadLibrary("PSAPI.DLL");
    if (!lib) return kProcessPsapiMissing;
    auto enumProcesses = Bind<EnumProcessesFn>(lib, "EnumProcesses");
    auto enumModules = Bind<EnumProcessModulesFn>(lib, "EnumProcessModules");
    auto baseName = Bind<GetModuleBaseNameFn>(lib, "GetModuleBaseNameA");
    if (!enumProcesses || !enumModules || !baseName) {
        g_system->freeLibrary(lib);
        return kProcessPsapiEntryMissing;
    }
    DWORD ids[1000];
    DWORD bytes = 0;
    if (!enumProcesses(ids, sizeof ids, &bytes)) {
        g_system->freeLibrary(lib);
        return kProcessListFailed;
    }
    const DWORD count = bytes / sizeof(DWORD) < 1000 ? bytes / sizeof(DWORD) : 1000;
    int result = kProcessNotFound;
    for (DWORD i = 0; i < count; ++i) {
        char name[process_internal::kMaxName + 1] = "Unknown";
        if (HANDLE h = g_system->openProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, ids[i])) {
            HMODULE first = nullptr;
            DWORD needed = 0;
            if (enumModules(h, &first, sizeof first, &needed)) {
                // The name is read into a buffer one byte larger than the read, so it always ends.
                const DWORD n = baseName(h, first, name, process_internal::kMaxName);
                name[n < process_internal::kMaxName ? n : process_internal::kMaxName] = '\0';
            }
            g_system->closeHandle(h);
        }
        std::string upper;
        process_internal::MakeKey(name, upper);
        if (upper != key) continue;
        result = stop ? Terminate(ids[i]) : kProcessRunning;
        break;
    }
    g_system->freeLibrary(lib);
    return result;
}

int Search9x(const std::string& key, bool stop) {
    HMODULE lib = g_system->loadLibrary("Kernel32.DLL");
    if (!lib) return kProcessKernelMissing;
    auto snapshot = Bind<SnapshotFn>(lib, "CreateToolhelp32Snapshot");
    auto processFirst = Bind<ProcessWalkFn>(lib, "Process32First");
    auto processNext = Bind<ProcessWalkFn>(lib, "Process32Next");
    auto moduleFirst = Bind<ModuleWalkFn>(lib, "Module32First");
    auto moduleNext = Bind<ModuleWalkFn>(lib, "Module32Next");
    if (!snapshot || !processFirst || !processNext || !moduleFirst || !moduleNext) {
        g_system->freeLibrary(lib);
        return kProcessSnapshotEntryMissing;
    }
    HANDLE processes = snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) {
        g_system->freeLibrary(lib);
        return kProcessSnapshotFailed;
    }
    int result = kProcessNotFound;
    tagPROCESSENTRY32 pe = {};  // the ANSI records the exports named below take
    pe.dwSize = sizeof pe;
    bool more = processFirst(processes, &pe) != FALSE;
    while (more) {
        HANDLE modules = snapshot(TH32CS_SNAPMODULE, pe.th32ProcessID);
        if (modules == INVALID_HANDLE_VALUE) {
            result = kProcessSnapshotFailed;
            break;
        }
        tagMODULEENTRY32 me = {};
        me.dwSize = sizeof me;
        bool found = false;
        for (bool m = moduleFirst(modules, &me) != FALSE; m; m = moduleNext(modules, &me) != FALSE) {
            // The name exactly as the system reports it, bounded by its buffer.
            if (key == std::string(me.szModule, strnlen(me.szModule, sizeof me.szModule))) {
                found = true;
                break;
            }
        }
        g_system->closeHandle(modules);
        if (found) {
            result = stop ? Terminate(pe.th32ProcessID) : kProcessRunning;
            break;
        }
        more = processNext(processes, &pe) != FALSE;
    }
    g_system->closeHandle(processes);
    g_system->freeLibrary(lib);
    return result;
}

// A program of the product, known by its file: one snapshot of the process list names every
// process at once, and only those of the program's name are asked for their image. That is one
// call to the system, where the search by name asks every process for its modules.
int SearchImage(const std::string& key, bool stop, const std::string& image,
                std::vector<std::string>* passedOver) {
    HANDLE processes = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (processes == INVALID_HANDLE_VALUE) return kProcessSnapshotFailed;
    int result = kProcessNotFound;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof pe;
    for (BOOL more = Process32FirstW(processes, &pe); more; more = Process32NextW(processes, &pe)) {
        const size_t length = wcsnlen(pe.szExeFile, MAX_PATH);
        std::string upper;
        process_internal::MakeKey(
            platform::Utf16ToAnsi(
                std::u16string(reinterpret_cast<const char16_t*>(pe.szExeFile), length)),
            upper);
        if (upper != key) continue;
        std::string actual;
        if (!RunsFrom(pe.th32ProcessID, image, actual)) {
            if (passedOver) passedOver->push_back(actual);
            continue;
        }
        result = stop ? Terminate(pe.th32ProcessID) : kProcessRunning;
        break;
    }
    CloseHandle(processes);
    return result;
}

int Search(const std::string& name, bool stop, const std::string& image,
           std::vector<std::string>* passedOver) {
    std::string key;
    if (!process_internal::MakeKey(name, key)) return kProcessBadName;
    if (!image.empty()) return SearchImage(key, stop, image, passedOver);
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!g_system->getVersion(&version)) return kProcessVersionFailed;
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) return SearchNt(key, stop);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) return Search9x(key, stop);
    return kProcessPlatformUnknown;
}

}  // namespace

const ProcessSystem& RealProcessSystem() { return kReal; }
void UseProcessSystem(const ProcessSystem* system) { g_system = system ? system : &kReal; }

int process_internal::SearchProcesses(const std::string& name, bool stop, const std::string& image,
                                      std::vector<std::string>* passedOver) {
    return Search(name, stop, image, passedOver);
}
