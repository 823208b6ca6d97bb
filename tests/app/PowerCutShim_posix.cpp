// A power cut for the upgrade under test, loaded into the setup program with LD_PRELOAD. It
// remembers, for every regular file the program writes, where its first byte not yet flushed
// (fsync, fdatasync) lies, and counts the calls that write, flush, close, rename, link or unlink.
// At the call numbered POWERCUT_AT it "cuts the power" before the call runs: every file loses
// what was not flushed (cut off at that byte on odd numbers, zero-filled from it on even ones,
// the ways ext4 can leave a file after a crash) and the process is killed. With POWERCUT_AT=0 it
// only writes one line per counted call ("call path") to POWERCUT_LOG, so a runner can pick its
// cut points.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

namespace {

struct Dirty {
    int fd;       // an open of our own, to cut the file even after the program closed it
    off_t first;  // the first byte written since the last flush
};

std::mutex lock;
std::map<std::pair<dev_t, ino_t>, Dirty>& Files() {
    static auto* files = new std::map<std::pair<dev_t, ino_t>, Dirty>;
    return *files;
}
long counted = 0;
thread_local bool inside = false;

long CutAt() {
    static const long at = [] {
        const char* v = std::getenv("POWERCUT_AT");
        return v ? std::atol(v) : 0L;
    }();
    return at;
}

// The path of an open file (fd -1: of the program itself).
std::string FdPath(int fd) {
    char link[64], path[PATH_MAX];
    if (fd < 0)
        std::snprintf(link, sizeof link, "/proc/self/exe");
    else
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, path, sizeof path - 1);
    return n > 0 ? std::string(path, static_cast<size_t>(n)) : "?";
}

void Log(const char* call, const std::string& path) {
    const char* file = std::getenv("POWERCUT_LOG");
    if (!file) return;
    const std::string line = std::string(call) + " " + path + "\n";
    const int fd = static_cast<int>(syscall(SYS_openat, AT_FDCWD, file,
                                            O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    if (fd < 0) return;
    syscall(SYS_write, fd, line.data(), line.size());
    syscall(SYS_close, fd);
}

void CutThePower() {
    static const char zeros[4096] = {};
    for (auto& [key, d] : Files()) {
        if (d.first == LLONG_MAX) continue;
        struct stat st;
        if (fstat(d.fd, &st) != 0) continue;
        if (counted % 2 == 1) {
            syscall(SYS_ftruncate, d.fd, d.first);
        } else {
            for (off_t at = d.first; at < st.st_size; at += sizeof zeros) {
                const size_t n = static_cast<size_t>(
                    std::min<off_t>(static_cast<off_t>(sizeof zeros), st.st_size - at));
                syscall(SYS_pwrite64, d.fd, zeros, n, at);
            }
        }
        syscall(SYS_fsync, d.fd);
    }
    kill(getpid(), SIGKILL);
}

// Only the setup program itself counts, not the installers it starts (which inherit the shim)
// nor the child it forks to start them.
bool Active() {
    static const pid_t program = [] {
        const std::string exe = FdPath(-1);
        const bool setup = exe.size() >= 10 && exe.compare(exe.size() - 10, 10, "Setup_iVOX") == 0;
        return setup ? getpid() : pid_t{-1};
    }();
    return program == getpid();
}

// One counted call: cuts the power when its number has come.
void Count(const char* call, const std::string& path) {
    if (inside || !Active()) return;
    std::lock_guard<std::mutex> guard(lock);
    inside = true;
    ++counted;
    if (CutAt() == 0) Log(call, path);
    if (CutAt() == counted) CutThePower();
    inside = false;
}

// A write of `fd` from `offset` (-1: its position): the file is dirty from there.
void Wrote(int fd, off_t offset) {
    if (inside || !Active()) return;
    std::lock_guard<std::mutex> guard(lock);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (offset < 0) offset = lseek(fd, 0, SEEK_CUR);
    auto& files = Files();
    auto it = files.find({st.st_dev, st.st_ino});
    if (it == files.end()) {
        char link[64];
        std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
        const int own = static_cast<int>(syscall(SYS_openat, AT_FDCWD, link, O_WRONLY | O_CLOEXEC));
        if (own < 0) return;
        it = files.insert({{st.st_dev, st.st_ino}, Dirty{own, LLONG_MAX}}).first;
    }
    if (offset < it->second.first) it->second.first = offset;
}

void Flushed(int fd) {
    std::lock_guard<std::mutex> guard(lock);
    struct stat st;
    if (fstat(fd, &st) != 0) return;
    auto it = Files().find({st.st_dev, st.st_ino});
    if (it != Files().end()) it->second.first = LLONG_MAX;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

ssize_t write(int fd, const void* buffer, size_t count) {
    static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
    if (fd > 2) Count("write", FdPath(fd));
    if (fd > 2) Wrote(fd, -1);
    return real(fd, buffer, count);
}

ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) {
    static auto real = Next<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64");
    Count("pwrite", FdPath(fd));
    Wrote(fd, offset);
    return real(fd, buffer, count, offset);
}

int fsync(int fd) {
    static auto real = Next<int (*)(int)>("fsync");
    Count("fsync", FdPath(fd));
    const int rc = real(fd);
    if (rc == 0) Flushed(fd);
    return rc;
}

int fdatasync(int fd) {
    static auto real = Next<int (*)(int)>("fdatasync");
    Count("fdatasync", FdPath(fd));
    const int rc = real(fd);
    if (rc == 0) Flushed(fd);
    return rc;
}

int close(int fd) {
    static auto real = Next<int (*)(int)>("close");
    if (fd > 2) Count("close", FdPath(fd));
    return real(fd);
}

int rename(const char* from, const char* to) {
    static auto real = Next<int (*)(const char*, const char*)>("rename");
    Count("rename", std::string(from) + " " + to);
    return real(from, to);
}

int link(const char* from, const char* to) {
    static auto real = Next<int (*)(const char*, const char*)>("link");
    Count("link", std::string(from) + " " + to);
    return real(from, to);
}

int unlink(const char* path) {
    static auto real = Next<int (*)(const char*)>("unlink");
    Count("unlink", path);
    return real(path);
}

}  // extern "C"
