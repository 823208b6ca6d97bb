#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

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
