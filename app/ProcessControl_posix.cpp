// The host's process table (/proc) stands in for both Windows process interfaces: processes in
// ascending id order, each named by the base name of its executable.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>

#include "app/ProcessControl.h"
#include "platform/ProcessTable_posix.h"

namespace {

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The executable's base name; the first word of the command line when the link is unreadable;
// "Unknown" when neither can be read (the process ended, or belongs to nobody we may look at).
std::string ProcessName(pid_t id) {
    const std::string dir = "/proc/" + std::to_string(id);
    char buf[PATH_MAX];
    const ssize_t n = readlink((dir + "/exe").c_str(), buf, sizeof buf - 1);
    if (n > 0) {
        std::string path(buf, static_cast<size_t>(n));
        const std::string deleted = " (deleted)";
        if (path.size() > deleted.size() && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        return BaseName(path);
    }
    std::ifstream cmd(dir + "/cmdline", std::ios::binary);
    std::string first;
    if (std::getline(cmd, first, '\0') && !first.empty()) return BaseName(first);
    return "Unknown";
}

int Search(const std::string& name, bool stop) {
    std::string key;
    if (!process_internal::MakeKey(name, key)) return kProcessBadName;
    for (pid_t id : platform::HostProcessIds()) {
        std::string found;
        process_internal::MakeKey(ProcessName(id).substr(0, process_internal::kMaxName), found);
        if (found != key) continue;
        if (!stop) return kProcessRunning;
        if (kill(id, SIGKILL) == 0) return kProcessStopped;
        return errno == EPERM || errno == ESRCH ? kProcessOpenFailed : kProcessStopFailed;
    }
    return kProcessNotFound;
}

}  // namespace

int process_internal::SearchProcesses(const std::string& name, bool stop) {
    return Search(name, stop);
}
