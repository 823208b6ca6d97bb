// The host's process table (/proc) stands in for both Windows process interfaces: processes in
// ascending id order, each named by the base name of its executable.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <fstream>

#include "app/ProcessControl.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
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

// Whether the process runs from the file at `image` (a Windows path): its executable link names
// a file of that name (letter case aside, as on Windows) in that folder, or leads to the same
// inode (the file reached by another name).
bool RunsFrom(pid_t id, const std::string& image, std::string& actual) {
    const std::string exe = "/proc/" + std::to_string(id) + "/exe";
    char buf[PATH_MAX];
    const ssize_t n = readlink(exe.c_str(), buf, sizeof buf - 1);
    actual = n > 0 ? std::string(buf, static_cast<size_t>(n)) : "?";
    char folder[PATH_MAX];
    const std::string hostFolder = platform::HostPath(platform::PathFolder(image));
    if (n > 0 && !hostFolder.empty() && realpath(hostFolder.c_str(), folder)) {
        std::string mine, theirs;
        process_internal::MakeKey(platform::PathFileName(image), mine);
        process_internal::MakeKey(BaseName(actual), theirs);
        if (actual.substr(0, actual.find_last_of('/')) == folder && mine == theirs) return true;
    }
    const std::string host = platform::HostPath(image);
    struct stat file, running;
    return !host.empty() && stat(host.c_str(), &file) == 0 && stat(exe.c_str(), &running) == 0 &&
           file.st_dev == running.st_dev && file.st_ino == running.st_ino;
}

int Search(const std::string& name, bool stop, const std::string& image,
           std::vector<std::string>* passedOver) {
    std::string key;
    if (!process_internal::MakeKey(name, key)) return kProcessBadName;
    for (pid_t id : platform::HostProcessIds()) {
        std::string found;
        process_internal::MakeKey(ProcessName(id).substr(0, process_internal::kMaxName), found);
        if (found != key) continue;
        std::string actual;
        if (!image.empty() && !RunsFrom(id, image, actual)) {
            if (passedOver) passedOver->push_back(actual);
            continue;
        }
        if (!stop) return kProcessRunning;
        if (kill(id, SIGKILL) == 0) return kProcessStopped;
        return errno == EPERM || errno == ESRCH ? kProcessOpenFailed : kProcessStopFailed;
    }
    return kProcessNotFound;
}

}  // namespace

int process_internal::SearchProcesses(const std::string& name, bool stop, const std::string& image,
                                      std::vector<std::string>* passedOver) {
    return Search(name, stop, image, passedOver);
}
