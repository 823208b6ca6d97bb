// The POSIX host's process table (/proc), for the POSIX halves of units that look at running
// programs.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <vector>

namespace platform {

// The ids of the running processes, in ascending order.
std::vector<pid_t> HostProcessIds();

// Whether some running process has the file (device and inode) as its program. Windows keeps
// such files locked against deletion and replacement; the POSIX file services follow that rule
// so setup behaves alike on both.
bool IsRunningProgram(const struct stat& file);

}  // namespace platform
