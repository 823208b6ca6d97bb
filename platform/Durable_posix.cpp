#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "platform/Durable.h"
#include "platform/FileStamps.h"
#include "platform/Paths.h"

namespace platform {

bool FileFlush(FileHandle handle) {
    if (handle < 0 || handle > INT_MAX) {
        errno = EBADF;
        return false;
    }
    return fsync(static_cast<int>(handle)) == 0;
}

bool FlushFolder(const std::string& folder) {
    const std::string host = HostPath(folder);
    if (host.empty()) return false;
    const int fd = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = fsync(fd) == 0;
    return close(fd) == 0 && ok;
}

bool ReplaceFileDurably(const std::string& from, const std::string& to) {
    return ReplaceFileWith(from, to);
}

bool ReplaceFileDurably(const std::u16string& from, const std::u16string& to) {
    return ReplaceFileWith(from, to);
}

bool LinkFile(const std::string& existing, const std::string& link) {
    const std::string from = HostPath(existing), to = HostPath(link);
    return !from.empty() && !to.empty() && ::link(from.c_str(), to.c_str()) == 0;
}

bool LastFailureMayPass() {
    return errno == ETXTBSY || errno == EBUSY;
}

FileHandle FileOpenOwnedBy(const std::string& path, bool& trustedOwner) {
    trustedOwner = false;
    const std::string host = HostPath(path);
    if (host.empty()) return kInvalidFileHandle;
    const int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return kInvalidFileHandle;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        errno = EACCES;
        return kInvalidFileHandle;
    }
    trustedOwner = st.st_uid == 0 || st.st_uid == geteuid();
    return fd;
}

}  // namespace platform
