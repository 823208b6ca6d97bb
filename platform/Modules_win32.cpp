#include <windows.h>

#include <string>

#include "platform/Modules.h"

namespace platform {

ModuleHandle OpenModule(const std::string& path, uint32_t* error) {
    // No "insert a disk" box and no fault box while the module loads; the mode returns after.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    HMODULE module = LoadLibraryA(path.c_str());
    const DWORD failure = module ? 0 : GetLastError();
    SetErrorMode(previous);
    if (error) *error = failure;
    return reinterpret_cast<ModuleHandle>(module);
}

ModuleHandle OpenSystemModule(const std::string& name) {
    wchar_t folder[MAX_PATH + 1];
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    std::wstring path(folder, n);
    path += L'\\';
    path.append(name.begin(), name.end());  // system file names are plain ASCII
    return reinterpret_cast<ModuleHandle>(LoadLibraryW(path.c_str()));
}

void RestrictModuleSearch() {
    // Looked up by name: older systems lack them, and the program must start there too.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryFn = BOOL(WINAPI*)(LPCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return;
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    const auto setFolder = reinterpret_cast<SetDllDirectoryFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryW")));
    // An empty DLL folder takes the current folder out of the search.
    if (setFolder) setFolder(L"");
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    // The program's folder still comes first for a name not loaded yet; a library already
    // loaded is found by its name, so the theme library comes from the system folder now.
    OpenSystemModule("uxtheme.dll");
}

void* ModuleExport(ModuleHandle module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void CloseModule(ModuleHandle module) {
    if (module) FreeLibrary(static_cast<HMODULE>(module));
}

std::string ProgramFileName() {
    char path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return "";
    return std::string(path, n);
}

}  // namespace platform
