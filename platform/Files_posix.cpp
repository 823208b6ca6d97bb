#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/ProcessTable_posix.h"
#include "platform/Text.h"

namespace platform {

bool FileExists(const std::string& path) {
    const std::string host = HostPath(path);
    struct stat st;
    return !host.empty() && stat(host.c_str(), &st) == 0;
}

bool ReadFileAttributes(const std::string& path, FileAttributes& out) {
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0) return false;
    out.link = S_ISLNK(st.st_mode);
    // A link that leads nowhere is still there: nothing may be made in its place by name.
    if (out.link && stat(host.c_str(), &st) != 0) {
        out.directory = out.readOnly = false;
        return true;
    }
    out.directory = S_ISDIR(st.st_mode);
    out.readOnly = (st.st_mode & S_IWUSR) == 0;
    return true;
}

bool RemoveFile(const std::string& path) {
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return false;
    if (S_ISREG(st.st_mode) && IsRunningProgram(st)) {
        errno = ETXTBSY;
        return false;
    }
    return unlink(host.c_str()) == 0;
}

bool MakeFolder(const std::string& path) {
    const std::string host = HostPath(path);
    return !host.empty() && mkdir(host.c_str(), 0755) == 0;
}

bool RemoveFolder(const std::string& path) {
    const std::string host = HostPath(path);
    return !host.empty() && rmdir(host.c_str()) == 0;
}

bool SetCurrentFolder(const std::string& path) {
    const std::string host = HostPath(path);
    return !host.empty() && chdir(host.c_str()) == 0;
}

// UTF-16 paths: ANSI is UTF-8 here, so every name converts exactly.
bool FileExists(const std::u16string& path) {
    return FileExists(Utf16ToUtf8(path));
}
bool ReadFileAttributes(const std::u16string& path, FileAttributes& out) {
    return ReadFileAttributes(Utf16ToUtf8(path), out);
}
bool RemoveFile(const std::u16string& path) {
    return RemoveFile(Utf16ToUtf8(path));
}
bool MakeFolder(const std::u16string& path) {
    return MakeFolder(Utf16ToUtf8(path));
}
bool RemoveFolder(const std::u16string& path) {
    return RemoveFolder(Utf16ToUtf8(path));
}

}  // namespace platform
