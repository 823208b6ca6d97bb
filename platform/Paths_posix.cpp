#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Paths.h"
#include "platform/Prefix_posix.h"

namespace platform {

namespace {

std::string UserName() {
    if (const char* u = std::getenv("USER"); u && *u) return u;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
    return "user";
}

std::string Slashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

}  // namespace

std::string HostPath(const std::string& p) {
    const bool hasDrive = p.size() >= 2 && p[1] == ':' &&
                          ((p[0] >= 'A' && p[0] <= 'Z') || (p[0] >= 'a' && p[0] <= 'z'));
    if (!hasDrive) return Slashes(p);
    const char drive = static_cast<char>(p[0] | 0x20);  // lower case
    std::string rest = Slashes(p.substr(2));
    if (!rest.empty() && rest[0] != '/') rest = "/" + rest;  // "C:x" is taken as "C:\x"
    if (drive == 'c') return PrefixRoot() + "/drive_c" + rest;
    if (drive == 'z') return rest.empty() ? "/" : rest;
    const std::string mapped = PrefixRoot() + "/dosdevices/" + drive + ":";
    if (access(mapped.c_str(), F_OK) != 0) return "";
    return mapped + rest;
}

bool GetSpecialFolderPath(int csidl, std::string& path) {
    const std::string profile = "C:\\users\\" + UserName();
    switch (csidl) {
        case kCsidlDesktop:
        case kCsidlDesktopDirectory:
            path = profile + "\\Desktop";
            break;
        case kCsidlPrograms:
            path = profile + "\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
            break;
        default:
            path.clear();
            return false;
    }
    if (!MakeFolders(HostPath(path))) {
        path.clear();
        return false;
    }
    return true;
}

const char* ShortcutExtension() { return ".desktop"; }

}  // namespace platform
