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

// This program's own file, for a copy of it elsewhere. Windows takes its path from the UTF-16
// module name, so a folder that the ANSI code page cannot hold ("E:\Cài đặt\") is no obstacle.

// True when this program's own file can be opened for reading.
bool ProgramFileReadable();

// True when the Windows path names this program's own file (the same file, however named);
// false when it names another file or none.
bool IsProgramFile(const std::string& path);

// Copies this program's own file to the Windows path, where no file may be yet: true when the
// whole copy is on the disk. The copy is an ordinary file: not read-only, without the mark of
// a download (a file copied from a downloads folder would warn at each start). On failure no
// file is left at the path.
bool CopyProgramFileTo(const std::string& path);

}  // namespace platform
