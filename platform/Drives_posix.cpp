#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "platform/Drives.h"
#include "platform/PathParts.h"
#include "platform/Prefix_posix.h"

namespace platform {

namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

// The letter (lower case) of a drive root "X:", "X:\" or "X:/"; 0 for anything else.
char RootLetter(const std::string& root) {
    if (root.size() < 2 || root.size() > 3 || !IsLetter(root[0]) || root[1] != ':') return 0;
    if (root.size() == 3 && root[2] != '\\' && root[2] != '/') return 0;
    return Lower(root[0]);
}

// The host folder a letter maps to (it may be missing: a drive without a disk).
std::string DriveFolder(char letter) {
    if (letter == 'c') return PrefixRoot() + "/drive_c";
    if (letter == 'z') return "/";
    return PrefixRoot() + "/dosdevices/" + letter + ":";
}

// The drive types <prefix>/drives declares, by lower-case letter.
std::map<char, unsigned> DeclaredTypes() {
    static const std::map<std::string, unsigned> kWords = {
        {"removable", kDriveRemovable}, {"fixed", kDriveFixed},     {"remote", kDriveRemote},
        {"cdrom", kDriveCdrom},         {"ramdisk", kDriveRamDisk},
    };
    std::map<char, unsigned> types;
    std::ifstream file(PrefixRoot() + "/drives");
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string drive, word;
        // Blank lines, comments and lines without a letter first say nothing.
        if (!(fields >> drive) || drive.size() != 2 || !RootLetter(drive)) continue;
        fields >> word;
        const auto known = kWords.find(word);
        types[RootLetter(drive)] = known == kWords.end() ? kDriveUnknown : known->second;
    }
    return types;
}

// Whether the prefix defines the letter: C: and Z:, a mapping (even one that points nowhere)
// or a declaration.
bool DriveExists(char letter) {
    struct stat st;
    return letter == 'c' || letter == 'z' || lstat(DriveFolder(letter).c_str(), &st) == 0 ||
           DeclaredTypes().count(letter) != 0;
}

// The host's current folder as a Windows path: inside the prefix's drive C: a C: path,
// otherwise a Z: path. No trailing backslash except at a drive's root.
std::string CurrentFolder() {
    std::vector<char> buffer(PATH_MAX);
    if (!getcwd(buffer.data(), buffer.size())) return "C:\\";
    const std::string cwd = buffer.data();
    std::string drive = "Z:", rest = cwd;
    if (char* c = realpath(DriveFolder('c').c_str(), nullptr)) {
        const std::string driveC = c;
        std::free(c);
        if (cwd.compare(0, driveC.size(), driveC) == 0 &&
            (cwd.size() == driveC.size() || cwd[driveC.size()] == '/'))
            drive = "C:", rest = cwd.substr(driveC.size());
    }
    for (char& ch : rest)
        if (ch == '/') ch = '\\';
    return drive + (rest.empty() ? "\\" : rest);
}

}  // namespace

std::string FullPathName(const std::string& path) {
    if (path.empty()) return "";
    std::string p = path;
    for (char& ch : p)
        if (ch == '/') ch = '\\';
    // Split into the drive and the part that follows the drive's root.
    std::string drive = PathDrive(p), rest;
    if (!drive.empty() && drive[1] == ':') {
        rest = p.substr(2);
        if (rest.empty() || rest[0] != '\\') {
            // "X:name" is relative to the current folder when that is on X:, else to X:'s root.
            const std::string current = CurrentFolder();
            rest = (Lower(current[0]) == Lower(drive[0]) ? current.substr(2) : "") + "\\" + rest;
        }
    } else if (!drive.empty()) {
        rest = p.substr(drive.size());
    } else {
        const std::string current = CurrentFolder();
        drive = PathDrive(current);
        rest = (p[0] == '\\' ? "" : current.substr(drive.size()) + "\\") + p;
    }
    // Resolve "." and "..", never above the root; a trailing separator stays.
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= rest.size()) {
        size_t end = rest.find('\\', i);
        if (end == std::string::npos) end = rest.size();
        const std::string part = rest.substr(i, end - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = end + 1;
    }
    std::string full = drive;
    for (const std::string& part : parts) full += "\\" + part;
    const bool trailing = rest.size() > 1 && rest.back() == '\\';
    if (parts.empty() || trailing) full += "\\";
    return full;
}

uint32_t LogicalDrives() {
    uint32_t mask = (1u << ('c' - 'a')) | (1u << ('z' - 'a'));
    if (DIR* dir = opendir((PrefixRoot() + "/dosdevices").c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() == 2 && RootLetter(name)) mask |= 1u << (RootLetter(name) - 'a');
        }
        closedir(dir);
    }
    for (const auto& [letter, type] : DeclaredTypes()) mask |= 1u << (letter - 'a');
    return mask;
}

unsigned DriveType(const std::string& root) {
    const char letter = RootLetter(root);
    if (!letter) return kDriveNoRootDir;
    const auto types = DeclaredTypes();
    if (const auto declared = types.find(letter); declared != types.end()) return declared->second;
    return DriveExists(letter) ? kDriveFixed : kDriveNoRootDir;
}

bool VolumeInformation(const std::string& root, std::string& label, uint32_t* error) {
    label.clear();
    const char letter = RootLetter(root);
    uint32_t code = 0;
    struct stat st;
    if (!letter || !DriveExists(letter)) {
        code = kErrorPathNotFound;
    } else if (stat(DriveFolder(letter).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        code = kErrorNotReady;
    } else {
        std::ifstream file(DriveFolder(letter) + "/.windows-label");
        std::getline(file, label);
        while (!label.empty() && (label.back() == '\r' || label.back() == '\n')) label.pop_back();
        if (label.size() > 259) label.resize(259);
    }
    if (error) *error = code;
    return code == 0;
}

int64_t DiskSpace(const std::string& root) {
    const char letter = RootLetter(root);
    struct statvfs vfs;
    if (!letter || !DriveExists(letter) || statvfs(DriveFolder(letter).c_str(), &vfs) != 0)
        return -1;
    return static_cast<int64_t>(vfs.f_blocks) * static_cast<int64_t>(vfs.f_frsize);
}

CriticalErrorsFail::CriticalErrorsFail() : previous_(0) {}

CriticalErrorsFail::~CriticalErrorsFail() {}

std::string UniversalPathName(const std::string& path) {
    return path;
}

}  // namespace platform
