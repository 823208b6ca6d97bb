// Starting a file with the system's default action for its type, hidden, without waiting.
#pragma once

#include <string>

namespace platform {

// Starts the file at the Windows path `file` the way the shell would on a double click, with
// its window hidden and `folder` as its working folder, and returns at once: true when it was
// started. Windows uses the shell's default verb. POSIX hosts find the file ignoring letter case
// (as a Windows file system would), run a batch script (".bat", ".cmd") with the host's shell
// (the script's POSIX lines) and open any other file with the host's opener (xdg-open); the
// started program is detached, with its input and output on /dev/null.
bool LaunchHidden(const std::string& file, const std::string& folder);

}  // namespace platform
