#include <windows.h>

#include "engine/ModulePath.h"

namespace engine {

std::string ModulePath() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCSTR>(&ModulePath), &module))
        return {};
    char path[MAX_PATH + 1];
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    return n == 0 || n >= MAX_PATH ? std::string() : std::string(path, n);
}

}  // namespace engine
