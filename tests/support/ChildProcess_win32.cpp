#include <windows.h>

#include "tests/support/ChildProcess.h"

namespace testing_machine {

std::string IdleProgramHostPath() {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.find_last_of("\\/") + 1) + "setup_idle_program.exe";
}

int RunThisProgram(const std::string& arguments, const std::string& name, const std::string& value) {
    char self[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return -1;
    std::string cmd = "\"" + std::string(self, n) + "\" " + arguments;
    // The child inherits the environment; the variable is ours only for its start.
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    const BOOL started =
        CreateProcessA(self, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA(name.c_str(), nullptr);
    if (!started) return -1;
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    const bool known = GetExitCodeProcess(pi.hProcess, &code) != FALSE;
    CloseHandle(pi.hProcess);
    return known ? static_cast<int>(code) : -1;
}

bool CopyHostFile(const std::string& hostSource, const std::string& windowsTarget) {
    return CopyFileA(hostSource.c_str(), windowsTarget.c_str(), FALSE) != FALSE;
}

bool ChildProcess::Start(const std::string& windowsPath) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string cmd = "\"" + windowsPath + "\"";
    if (!CreateProcessA(windowsPath.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    handle_ = pi.hProcess;
    id_ = pi.dwProcessId;
    WaitForInputIdle(pi.hProcess, 2000);
    return Running();
}

bool ChildProcess::Running() const {
    return handle_ && WaitForSingleObject(static_cast<HANDLE>(handle_), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Stop() {
    if (!handle_) return;
    TerminateProcess(static_cast<HANDLE>(handle_), 1);
    WaitForSingleObject(static_cast<HANDLE>(handle_), 5000);
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
    id_ = 0;
}

}  // namespace testing_machine
