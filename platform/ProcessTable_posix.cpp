#include "platform/ProcessTable_posix.h"

#include <dirent.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace platform {

std::vector<pid_t> HostProcessIds() {
    std::vector<pid_t> ids;
    DIR* proc = opendir("/proc");
    if (!proc) return ids;
    while (dirent* e = readdir(proc)) {
        char* end = nullptr;
        const long id = std::strtol(e->d_name, &end, 10);
        if (end != e->d_name && !*end && id > 0) ids.push_back(static_cast<pid_t>(id));
    }
    closedir(proc);
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool IsRunningProgram(const struct stat& file) {
    for (pid_t id : HostProcessIds()) {
        struct stat exe;
        const std::string link = "/proc/" + std::to_string(id) + "/exe";
        if (stat(link.c_str(), &exe) == 0 && exe.st_dev == file.st_dev && exe.st_ino == file.st_ino)
            return true;
    }
    return false;
}

}  // namespace platform
