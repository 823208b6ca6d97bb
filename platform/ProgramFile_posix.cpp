#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Modules.h"
#include "platform/Paths.h"
#include "platform/ProgramFile.h"

namespace platform {

bool RemoveProgramFile(const std::string& path) {
    const std::string host = HostPath(path);
    return !host.empty() && (std::remove(host.c_str()) == 0 || errno == ENOENT);
}

bool MakeProgramRunnable(const std::string& path) {
    const std::string host = HostPath(path);
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) != 0) return false;
    const mode_t readable = st.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
    return chmod(host.c_str(), st.st_mode | readable >> 2) == 0;
}

}  // namespace platform

namespace platform {

bool ProgramFileReadable() {
    const std::string own = HostPath(ProgramFileName());
    std::FILE* f = own.empty() ? nullptr : std::fopen(own.c_str(), "rb");
    if (!f) return false;
    const bool ok = std::fgetc(f) != EOF;
    std::fclose(f);
    return ok;
}

bool IsProgramFile(const std::string& path) {
    const std::string own = HostPath(ProgramFileName()), other = HostPath(path);
    struct stat a, b;
    return !own.empty() && !other.empty() && stat(own.c_str(), &a) == 0 &&
           stat(other.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool CopyProgramFileTo(const std::string& path) {
    const std::string own = HostPath(ProgramFileName()), to = HostPath(path);
    if (own.empty() || to.empty()) return false;
    const int in = open(own.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0755);
    if (out < 0) {
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            ok = w > 0;
            done += ok ? w : 0;
        }
        if (!ok) break;
    }
    ok = ok && fsync(out) == 0;
    ok = close(out) == 0 && ok;
    close(in);
    if (!ok) unlink(to.c_str());
    return ok;
}

}  // namespace platform
