#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
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

bool ShortcutsForAllUsers() {
    return false;
}

std::string SystemFolder() {
    const std::string folder = "C:\\windows\\system32";
    return MakeFolders(HostPath(folder)) ? folder : "";
}

std::string SystemFolder32() { return SystemFolder(); }

std::string TempFolder() {
    const std::string folder = "C:\\users\\" + UserName() + "\\Temp";
    if (!MakeFolders(HostPath(folder))) return "";
    return folder + "\\";
}

std::string CreateTempFileName(const std::string& folder, const std::string& prefix) {
    std::string base = folder;
    if (!base.empty() && base.back() != '\\' && base.back() != '/') base += '\\';
    base += prefix.substr(0, 3);
    // As Windows does: numbers from a per-process start, the first free one wins.
    static unsigned next = static_cast<unsigned>(getpid()) & 0xFFFF;
    for (unsigned tries = 0; tries < 0x10000; ++tries) {
        next = (next + 1) & 0xFFFF;
        if (next == 0) continue;
        char hex[8];
        std::snprintf(hex, sizeof hex, "%X", next);
        const std::string name = base + hex + ".TMP";
        const std::string host = HostPath(name);
        if (host.empty()) return "";
        const int fd = open(host.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
        if (fd >= 0) {
            close(fd);
            return name;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

const char* ShortcutExtension() {
    return ".desktop";
}

}  // namespace platform
