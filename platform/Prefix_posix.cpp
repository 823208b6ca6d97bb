#include "platform/Prefix_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {

bool MakeFolders(const std::string& path) {
    if (path.empty()) return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i != path.size() && path[i] != '/') continue;
        const std::string part = path.substr(0, i);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string PrefixRoot() {
    std::string root;
    if (const char* p = std::getenv("SETUP_IVOX_PREFIX"); p && *p) {
        root = p;
    } else if (const char* x = std::getenv("XDG_DATA_HOME"); x && *x) {
        root = std::string(x) + "/setup-ivox";
    } else {
        const char* home = std::getenv("HOME");
        root = std::string(home && *home ? home : "/tmp") + "/.local/share/setup-ivox";
    }
    while (root.size() > 1 && root.back() == '/') root.pop_back();
    // Every file and registry operation asks; the folders are made once per prefix.
    static std::string made;
    if (made != root) {
        // A machine always has its C: drive.
        if (MakeFolders(root + "/drive_c")) made = root;
    }
    return root;
}

bool WriteFileAtomically(const std::string& path, const std::string& data) {
    const std::string tmp = path + ".tmp." + std::to_string(getpid());
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool ok = done == data.size() && fsync(fd) == 0;
    if (close(fd) != 0 || !ok || rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
