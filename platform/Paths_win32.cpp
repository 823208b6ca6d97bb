#include <shlobj.h>
#include <windows.h>

#include "platform/Paths.h"

namespace platform {

std::string HostPath(const std::string& windowsPath) {
    return windowsPath;
}

bool GetSpecialFolderPath(int csidl, std::string& path) {
    path.clear();
    LPITEMIDLIST pidl = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &pidl)) || !pidl) return false;
    char buf[MAX_PATH] = {};
    const BOOL ok = SHGetPathFromIDListA(pidl, buf);
    CoTaskMemFree(pidl);
    if (!ok) return false;
    path = buf;
    return true;
}

bool ShortcutsForAllUsers() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    TOKEN_ELEVATION elevation = {};
    DWORD size = 0;
    const bool elevated =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
        elevation.TokenIsElevated != 0;
    CloseHandle(token);
    return elevated;
}

std::string SystemFolder() {
    char buf[MAX_PATH + 1] = {};
    const UINT n = GetSystemDirectoryA(buf, sizeof buf);
    if (n == 0 || n > MAX_PATH) return "";
    return std::string(buf, n);
}

std::string SystemFolder32() {
    char buf[MAX_PATH + 1] = {};
    // A 32-bit Windows has no WOW64 folder: the call fails there, and the system folder is the
    // 32-bit one.
    const UINT n = GetSystemWow64DirectoryA(buf, sizeof buf);
    if (n == 0 || n > MAX_PATH) return SystemFolder();
    return std::string(buf, n);
}

std::string TempFolder() {
    char buf[MAX_PATH + 1] = {};
    const DWORD n = GetTempPathA(sizeof buf, buf);
    if (n == 0 || n > MAX_PATH) return "";
    return std::string(buf, n);
}

std::string CreateTempFileName(const std::string& folder, const std::string& prefix) {
    char buf[MAX_PATH + 14] = {};
    if (GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buf) == 0) return "";
    return buf;
}

const char* ShortcutExtension() {
    return ".lnk";
}

}  // namespace platform
