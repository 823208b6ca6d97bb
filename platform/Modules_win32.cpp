#include <windows.h>

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
