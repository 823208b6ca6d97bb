// The POSIX host's process table (/proc), for the POSIX halves of units that look at running
// programs.
#pragma once

#include <sys/types.h>

#include <vector>

namespace platform {

// The ids of the running processes, in ascending order.
std::vector<pid_t> HostProcessIds();

}  // namespace platform
