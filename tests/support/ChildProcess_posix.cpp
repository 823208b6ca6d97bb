#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

#include "platform/Paths.h"
#include "tests/support/ChildProcess.h"

namespace testing_machine {

std::string IdleProgramHostPath() {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return "";
    return std::filesystem::path(std::string(self, static_cast<size_t>(n))).parent_path() / "setup_idle_program";
}

int RunThisProgram(const std::string& arguments, const std::string& name, const std::string& value) {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return -1;
    self[n] = '\0';
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        setenv(name.c_str(), value.c_str(), 1);
        execl(self, self, arguments.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool CopyHostFile(const std::string& hostSource, const std::string& windowsTarget) {
    std::error_code ec;
    std::filesystem::copy_file(hostSource, platform::HostPath(windowsTarget),
                               std::filesystem::copy_options::overwrite_existing, ec);
    return !ec;
}

bool ChildProcess::Start(const std::string& windowsPath) {
    const std::string host = platform::HostPath(windowsPath);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        execl(host.c_str(), host.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    id_ = pid;
    // Wait until the child runs the program (its exe link names the file, not the test).
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    for (int i = 0; i < 200; ++i) {
        std::error_code ec;
        if (std::filesystem::equivalent(std::filesystem::read_symlink(link, ec), host, ec)) return true;
        usleep(10000);
    }
    return Running();
}

bool ChildProcess::Running() const {
    if (id_ <= 0 || reaped_) return false;
    int status;
    if (waitpid(static_cast<pid_t>(id_), &status, WNOHANG) == 0) return true;
    reaped_ = true;  // its id may now go to another process, which Stop must leave alone
    return false;
}

void ChildProcess::Stop() {
    if (id_ > 0 && !reaped_) {
        kill(static_cast<pid_t>(id_), SIGKILL);
        int status;
        waitpid(static_cast<pid_t>(id_), &status, 0);
    }
    id_ = 0;
    reaped_ = false;
}

}  // namespace testing_machine
