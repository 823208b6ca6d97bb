#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/Launch.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace platform {

namespace {

// The host path of an existing file or folder whose name may differ in letter case from the
// one on disk, as Windows file names do; "" when nothing matches.
std::string FindIgnoringCase(const std::string& host) {
    struct stat st;
    if (host.empty() || stat(host.c_str(), &st) == 0) return host;
    std::string found = host[0] == '/' ? "" : ".";
    size_t at = host[0] == '/' ? 1 : 0;
    while (at <= host.size()) {
        size_t end = host.find('/', at);
        if (end == std::string::npos) end = host.size();
        const std::string part = host.substr(at, end - at);
        at = end + 1;
        if (part.empty()) continue;
        std::string next = found + "/" + part;
        if (stat(next.c_str(), &st) != 0) {
            DIR* dir = opendir(found.empty() ? "/" : found.c_str());
            if (!dir) return "";
            next.clear();
            while (const dirent* e = readdir(dir)) {
                if (SameTextAscii(e->d_name, part)) {
                    next = found + "/" + e->d_name;
                    break;
                }
            }
            closedir(dir);
            if (next.empty()) return "";
        }
        found = next;
    }
    return found;
}

bool HasExtension(const std::string& path, const char* extension) {
    const size_t n = strlen(extension);
    return path.size() > n && strcasecmp(path.c_str() + path.size() - n, extension) == 0;
}

// The host's opener, if it has one on the search path.
std::string Opener() {
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t at = 0;
    while (at <= dirs.size()) {
        size_t end = dirs.find(':', at);
        if (end == std::string::npos) end = dirs.size();
        const std::string candidate = dirs.substr(at, end - at) + "/xdg-open";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        at = end + 1;
    }
    return "";
}

}  // namespace

bool LaunchHidden(const std::string& file, const std::string& folder) {
    const std::string target = FindIgnoringCase(HostPath(file));
    if (target.empty()) return false;
    std::string workDir = FindIgnoringCase(HostPath(folder));
    if (workDir.empty()) workDir = "/";

    std::vector<std::string> args;
    if (HasExtension(target, ".bat") || HasExtension(target, ".cmd")) {
        args = {"/bin/sh", target};
    } else {
        const std::string opener = Opener();
        if (opener.empty()) return false;
        args = {opener, target};
    }
    // Everything the child needs is prepared before fork: only async-signal-safe calls follow.
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Two forks, so the started program belongs to no one here and is never left a zombie.
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        setsid();
        if (fork() != 0) _exit(0);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        for (int fd = 3; fd < 1024; ++fd) close(fd);
        if (chdir(workDir.c_str()) != 0) _exit(127);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace platform
