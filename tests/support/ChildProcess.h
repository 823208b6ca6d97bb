// Programs that tests start: starting and stopping them, and waiting out what they hold.
#pragma once

#include <string>

namespace testing_machine {

// The idle test program (it only waits) built beside the test program, as a host path.
std::string IdleProgramHostPath();

// Copies a host file to a Windows path of the machine (mapped into the prefix on POSIX hosts).
bool CopyHostFile(const std::string& hostSource, const std::string& windowsTarget);

// Runs this test program again with `arguments` and the environment variable `name` set to
// `value`, and waits for it: its exit code, -1 when it could not run.
int RunThisProgram(const std::string& arguments, const std::string& name, const std::string& value);

// A running child program; stopped (killed) at the latest when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts the program at a Windows path; true once it runs.
    bool Start(const std::string& windowsPath);
    bool Running() const;
    void Stop();

private:
    long long id_ = 0;      // process id
    [[maybe_unused]] void* handle_ = nullptr;  // process handle on Windows
    mutable bool reaped_ = false;  // POSIX: the child has ended and been waited for
};

// Removes the folder at a Windows path and all it holds, trying again for ten seconds while a
// program the test started holds part of it. It lists a folder before removing what is in it:
// std::filesystem::remove_all can spin for good under Wine on a held folder. True when gone.
bool RemoveFolderWhenFree(const std::string& windowsPath);

// Waits (twenty seconds at most) until the installer script an install started in the folder
// `bin` (ending in a backslash) has written its marker and closed its file. True when it has.
bool WaitForLaunchedScript(const std::string& bin);

}  // namespace testing_machine
