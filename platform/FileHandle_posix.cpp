#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "platform/FileHandle.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace platform {

namespace {

// Share modes are emulated with locks far beyond any real content (so they never meet a lock
// that a program takes on data). Four regions stand for the facts an open announces: "I read",
// "I write", "I deny reading", "I deny writing". Each open locks one byte of its own in every
// region that applies to it, then looks whether another open holds a byte in a region that
// refuses it. Announcing before looking means two opens that race can both be refused, never
// both admitted. Open-file-description locks belong to one open, not to the process, so two
// opens in the same process see each other, and closing the descriptor drops them.
constexpr off_t kRegionSize = off_t{1} << 32;
constexpr off_t kRegionBase = off_t{1} << 62;
enum Region { kReads, kWrites, kDeniesRead, kDeniesWrite };

int Fcntl(int fd, int command, struct flock& lock) {
    int rc;
    do {
        rc = fcntl(fd, command, &lock);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

// Whether another open holds a byte of the region.
bool Held(int fd, Region region) {
    struct flock lock = {};
    lock.l_type = F_WRLCK;  // meets every lock of another open
    lock.l_whence = SEEK_SET;
    lock.l_start = kRegionBase + region * kRegionSize;
    lock.l_len = kRegionSize;
    return Fcntl(fd, F_OFD_GETLK, lock) == 0 && lock.l_type != F_UNLCK;
}

// Locks a byte of the region for this open: 0, or the error. A byte another open holds is
// passed over. A descriptor takes the lock kind its access allows (a read lock needs read
// access, a write lock write access); the kinds only matter when two opens pick the same byte.
int Claim(int fd, bool readable, Region region) {
    static std::atomic<unsigned> counter{0};
    const off_t start = kRegionBase + region * kRegionSize;
    off_t pick = static_cast<off_t>((static_cast<unsigned>(getpid()) * 40503u + ++counter) %
                                    static_cast<unsigned long long>(kRegionSize));
    for (int attempt = 0; attempt < 64; ++attempt, pick = (pick + 7919) % kRegionSize) {
        struct flock lock = {};
        lock.l_type = readable ? F_RDLCK : F_WRLCK;
        lock.l_whence = SEEK_SET;
        lock.l_start = start + pick;
        lock.l_len = 1;
        if (Fcntl(fd, F_OFD_SETLK, lock) == 0) return 0;
        if (errno != EAGAIN && errno != EACCES) return errno;
    }
    return EBUSY;
}

// Announces this open's access and share mode: true, or false (errno EBUSY) when an open already
// there refuses it. A file system without these locks opens without the emulation.
bool Announce(int fd, FileAccess access, FileShare share) {
    const bool reads = access != FileAccess::kWrite;
    const bool writes = access != FileAccess::kRead;
    const bool deniesRead = share == FileShare::kDenyReadWrite;
    const bool deniesWrite = share != FileShare::kDenyNone;
    const bool wanted[] = {reads, writes, deniesRead, deniesWrite};
    for (Region region : {kReads, kWrites, kDeniesRead, kDeniesWrite}) {
        if (!wanted[region]) continue;
        const int error = Claim(fd, reads, region);
        if (error == EINVAL || error == ENOLCK || error == EOPNOTSUPP) return true;
        if (error != 0) {
            errno = EBUSY;
            return false;
        }
    }
    const bool refused = (reads && Held(fd, kDeniesRead)) || (writes && Held(fd, kDeniesWrite)) ||
                         (deniesRead && Held(fd, kReads)) || (deniesWrite && Held(fd, kWrites));
    if (refused) errno = EBUSY;
    return !refused;
}

// The descriptor of a handle, or -1 (errno EBADF) for one that cannot be a descriptor.
int Descriptor(FileHandle handle) {
    if (handle < 0 || handle > INT_MAX) {
        errno = EBADF;
        return -1;
    }
    return static_cast<int>(handle);
}

}  // namespace

FileHandle FileOpen(const std::string& path, FileAccess access, FileShare share,
                    FileDisposition disposition) {
    const std::string host = HostPath(path);
    const bool create = disposition != FileDisposition::kOpenExisting;
    if (host.empty() || (create && access == FileAccess::kRead)) {
        errno = EINVAL;
        return kInvalidFileHandle;
    }
    int flags = access == FileAccess::kRead    ? O_RDONLY
                : access == FileAccess::kWrite ? O_WRONLY
                                               : O_RDWR;
    // Not O_TRUNC: a file is emptied only once the share modes allow this open. O_NONBLOCK keeps
    // a pipe from blocking the open before it is refused as not a regular file.
    flags |= O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
    if (disposition == FileDisposition::kCreateNew) flags |= O_CREAT | O_EXCL;
    if (disposition == FileDisposition::kCreateAlways) flags |= O_CREAT;
    const int fd = open(host.c_str(), flags, 0666);
    if (fd < 0) return kInvalidFileHandle;
    struct stat st;
    bool ok = fstat(fd, &st) == 0;
    if (ok && !S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EACCES;
        ok = false;
    }
    ok = ok && fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0;
    ok = ok && Announce(fd, access, share);
    if (ok && disposition == FileDisposition::kCreateAlways) ok = ftruncate(fd, 0) == 0;
    if (!ok) {
        const int error = errno;
        close(fd);
        errno = error;
        return kInvalidFileHandle;
    }
    return fd;
}

FileHandle FileCreatePrivate(const std::string& path) {
    const std::string host = HostPath(path);
    if (host.empty()) {
        errno = EINVAL;
        return kInvalidFileHandle;
    }
    // O_EXCL also refuses a link at the path, even one that leads nowhere; the mode leaves the
    // file to its owner (and root).
    const int fd = open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return kInvalidFileHandle;
    if (fchmod(fd, 0600) != 0 || !Announce(fd, FileAccess::kWrite, FileShare::kDenyReadWrite)) {
        const int error = errno;
        close(fd);
        unlink(host.c_str());
        errno = error;
        return kInvalidFileHandle;
    }
    return fd;
}

int64_t FileRead(FileHandle handle, void* buffer, size_t count) {
    const int fd = Descriptor(handle);
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < count) {
        const ssize_t n = read(fd, static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return done > 0 ? static_cast<int64_t>(done) : -1;
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t FileWrite(FileHandle handle, const void* buffer, size_t count) {
    const int fd = Descriptor(handle);
    if (fd < 0) return -1;
    size_t done = 0;
    while (done < count) {
        const ssize_t n = write(fd, static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return done > 0 ? static_cast<int64_t>(done) : -1;
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin) {
    const int fd = Descriptor(handle);
    if (fd < 0) return -1;
    const int whence = origin == SeekOrigin::kFromStart     ? SEEK_SET
                       : origin == SeekOrigin::kFromCurrent ? SEEK_CUR
                                                            : SEEK_END;
    const off_t position = lseek(fd, static_cast<off_t>(offset), whence);
    return position < 0 ? -1 : static_cast<int64_t>(position);
}

int64_t FileSize(FileHandle handle) {
    const int fd = Descriptor(handle);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

bool FileIdentityOf(FileHandle handle, FileIdentity& out) {
    const int fd = Descriptor(handle);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) return false;
    out.volume = static_cast<uint64_t>(st.st_dev);
    out.index = static_cast<uint64_t>(st.st_ino);
    return true;
}

bool FileClose(FileHandle handle) {
    const int fd = Descriptor(handle);
    // The descriptor is gone even when close reports an error, so it must not be closed again.
    return fd >= 0 && (close(fd) == 0 || errno == EINTR);
}

// A UTF-16 path: ANSI is UTF-8 here, so every name converts exactly.
FileHandle FileOpen(const std::u16string& path, FileAccess access, FileShare share,
                    FileDisposition disposition) {
    return FileOpen(Utf16ToUtf8(path), access, share, disposition);
}

}  // namespace platform
