#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/Paths.h"
#include "platform/Protection.h"

namespace platform {

namespace {

// What the protected list means here: the owner writes, group and others read (and run what
// the owner may run). Set-id bits never survive.
mode_t ProtectedMode(const struct stat& st) {
    if (S_ISDIR(st.st_mode) || (st.st_mode & S_IXUSR)) return 0755;
    return 0644;
}

}  // namespace

FileHandle FileCreateProtected(const std::string& path) {
    const std::string host = HostPath(path);
    if (host.empty()) {
        errno = EINVAL;
        return kInvalidFileHandle;
    }
    const int fd =
        open(host.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return kInvalidFileHandle;
    // The umask may have left more than asked for, or less; the mode is set, not hoped for.
    if (fchmod(fd, 0644) != 0) {
        const int error = errno;
        close(fd);
        unlink(host.c_str());
        errno = error;
        return kInvalidFileHandle;
    }
    ReportProtected(path);
    return fd;
}

bool ProtectFile(const std::string& path) {
    const std::string host = HostPath(path);
    if (host.empty()) {
        errno = EINVAL;
        return false;
    }
    // O_NOFOLLOW: a link at the path fails the open (ELOOP) instead of leading elsewhere.
    const int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat st;
    bool ok = fstat(fd, &st) == 0 && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode));
    // Someone else's file becomes ours (only root can do that); a file we cannot take stays
    // refused, since its owner could open it up again.
    if (ok && st.st_uid != geteuid()) ok = fchown(fd, geteuid(), static_cast<gid_t>(-1)) == 0;
    ok = ok && fchmod(fd, ProtectedMode(st)) == 0;
    const int error = errno;
    close(fd);
    if (!ok) {
        errno = error;
        return false;
    }
    ReportProtected(path);
    return true;
}

bool MakeProtectedFolder(const std::string& path) {
    const std::string host = HostPath(path);
    if (host.empty() || mkdir(host.c_str(), 0700) != 0) return false;
    return ProtectFile(path);
}

std::string MakePrivateFolder(const std::string& parent, const std::string& prefix) {
    std::random_device random;
    for (int attempt = 0; attempt < 64; ++attempt) {
        char number[16];
        std::snprintf(number, sizeof number, "%08x", static_cast<unsigned>(random()));
        const std::string path = parent + prefix + number;
        const std::string host = HostPath(path);
        if (host.empty()) return "";
        // mkdir never follows a link and fails on anything already there; the mode is set
        // after it, whatever the umask took away.
        if (mkdir(host.c_str(), 0700) == 0) {
            struct stat st;
            if (lstat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && chmod(host.c_str(), 0700) == 0)
                return path;
            rmdir(host.c_str());
            return "";
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

FileHandle FileCreateExact(const std::string& path, bool& elsewhere) {
    elsewhere = false;
    const std::string host = HostPath(path);
    if (host.empty()) {
        errno = EINVAL;
        return kInvalidFileHandle;
    }
    const int fd =
        open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) return kInvalidFileHandle;
    // The file the descriptor has must be the one the path names now, with that one name.
    struct stat opened, named;
    elsewhere = fstat(fd, &opened) != 0 || lstat(host.c_str(), &named) != 0 ||
                opened.st_dev != named.st_dev || opened.st_ino != named.st_ino ||
                opened.st_nlink != 1;
    if (elsewhere) {
        close(fd);
        if (lstat(host.c_str(), &named) == 0 && named.st_ino == opened.st_ino) unlink(host.c_str());
        errno = EXDEV;
        return kInvalidFileHandle;
    }
    return fd;
}

bool NewFilesTakeFolderProtection() {
    return false;
}

std::string ElevatedTempFolder() {
    const std::string folder = TempFolder();
    // A link in place of the temporary folder would lead the run's files elsewhere.
    struct stat st;
    if (folder.empty() || lstat(HostPath(folder.substr(0, folder.size() - 1)).c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode)) {
        errno = ELOOP;
        return "";
    }
    return folder;
}

}  // namespace platform
