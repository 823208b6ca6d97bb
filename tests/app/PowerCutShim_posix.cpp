// A power cut for the upgrade under test, preloaded into the setup program. It tracks, per regular
// file written, the first byte not yet flushed, and counts the calls that write, flush, close,
// rename, link or unlink. At call POWERCUT_AT every file loses what was not flushed (cut off on
// odd numbers, zero-filled on even ones, as ext4 can leave it) and the process is killed. With
// POWERCUT_AT=0 it logs "call path" per counted call to POWERCUT_LOG, for picking cut points.
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
    // Its own writes are not counted: the caller holds `inside`.
    if (FILE* f = std::fopen(file, "ae")) {
        std::fprintf(f, "%s %s\n", call, path.c_str());
        std::fclose(f);
    }
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

int Flush(const char* name, int fd) {
    Count(name, FdPath(fd));
    const int rc = Next<int (*)(int)>(name)(fd);
    if (rc == 0) Flushed(fd);
    return rc;
}

int TwoPaths(const char* name, const char* from, const char* to) {
    Count(name, std::string(from) + " " + to);
    return Next<int (*)(const char*, const char*)>(name)(from, to);
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
    return Flush("fsync", fd);
}
int fdatasync(int fd) {
    return Flush("fdatasync", fd);
}
int rename(const char* from, const char* to) {
    return TwoPaths("rename", from, to);
}
int link(const char* from, const char* to) {
    return TwoPaths("link", from, to);
}

int close(int fd) {
    static auto real = Next<int (*)(int)>("close");
    if (fd > 2) Count("close", FdPath(fd));
    return real(fd);
}

int unlink(const char* path) {
    static auto real = Next<int (*)(const char*)>("unlink");
    Count("unlink", path);
    return real(path);
}

}  // extern "C"
