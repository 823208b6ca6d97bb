// Removing the file of a program that may be this very program, running.
#pragma once

#include <string>

namespace platform {

// Removes the program file at the Windows path, even while this program runs from it: true when
// no file is left at the path. Windows keeps the file of a running program; it can still be
// moved within its volume, so the file goes to the temporary folder and is deleted there when
// Windows next starts. When the temporary folder is on another volume the file stays where it
// is until then (false). POSIX hosts simply unlink it.
bool RemoveProgramFile(const std::string& path);

// Lets the file at the Windows path run as a program: true on success. Windows runs any ".exe";
// POSIX hosts give it the permission to execute wherever it may be read.
bool MakeProgramRunnable(const std::string& path);

}  // namespace platform
