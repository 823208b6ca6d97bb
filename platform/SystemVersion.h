// The name and version of the system the program runs on, for the run's log.
#pragma once

#include <string>

namespace platform {

// "Windows 10.0.19045 (64-bit)", "Windows 6.1.7601 Service Pack 1 (32-bit)"; on POSIX hosts the
// kernel's name and release ("Linux 6.1.0-13-amd64"). Never empty.
std::string SystemVersionText();

}  // namespace platform
