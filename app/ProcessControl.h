// Finding and ending running programs by the base name of their executable ("voxTram.exe"),
// compared without regard to letter case. Both operations report an integer code and never
// raise or show anything.
#pragma once

#include <string>
#include <vector>

enum : int {
    kProcessStopped = 0,          // the matching process was terminated (terminator)
    kProcessRunning = 1,          // a matching process runs (finder)
    kProcessStopFailed = 602,     // opened, but terminating it failed
    kProcessNotFound = 603,       // no matching process
    kProcessOpenFailed = 604,     // it could not be opened for termination
    kProcessPsapiMissing = 605,   // "PSAPI.DLL" did not load
    kProcessVersionFailed = 606,  // the system version could not be read
    kProcessPlatformUnknown = 607,
    kProcessBadName = 632,        // empty, or longer than 260 characters
    kProcessPsapiEntryMissing = 700,
    kProcessListFailed = 701,
    kProcessKernelMissing = 702,
    kProcessSnapshotEntryMissing = 703,
    kProcessSnapshotFailed = 704,
};

int FindRunningProcess(const std::string& name);
int StopRunningProcess(const std::string& name);

// The same for a program of the product: only a process whose executable is the file `name` in
// `folder` (a Windows path) counts; a process of that name that runs from any other file is
// left alone and logged. 603 when only such others run.
int FindRunningProcess(const std::string& name, const std::string& folder);
int StopRunningProcess(const std::string& name, const std::string& folder);

namespace process_internal {

constexpr size_t kMaxName = 260;

// The key a process name is matched against: the name in upper case (C runtime rules). False
// for an empty name or one longer than kMaxName characters.
bool MakeKey(const std::string& name, std::string& key);

// The platform's search: with `stop`, the terminator's result, else the finder's. With an
// `image` (a full Windows path), a process of that name counts only when its executable is that
// file; the executables of the others it passed over go to `passedOver`.
int SearchProcesses(const std::string& name, bool stop, const std::string& image = "",
                    std::vector<std::string>* passedOver = nullptr);

}  // namespace process_internal
