#include <windows.h>
#include <shlobj.h>

#include "platform/Paths.h"

namespace platform {

std::string HostPath(const std::string& windowsPath) { return windowsPath; }

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

const char* ShortcutExtension() { return ".lnk"; }

}  // namespace platform
