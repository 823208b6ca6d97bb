// The log of one run for the administrator, and how the run ended.
//
// The log is UTF-8 text, one line per step, each starting with the local date and time to the
// millisecond. Lines are written (and reach the disk) as they come, so a log of a run that
// broke off ends at its last step. Without an open log, Line does nothing.
#pragma once

#include <cstddef>
#include <string>

namespace runlog {

// Starts a log at the Windows path, replacing a file there: false when it cannot be created.
bool Open(const std::string& path);
bool IsOpen();
void Close();
// One line of UTF-8 text.
void Line(const std::string& utf8);
// The line for a file written whole: its path, size and CRC-32.
void FileWritten(const std::string& path, const void* data, size_t size);
// A text in the ANSI code page (a path, a registry string), as UTF-8 for a line.
std::string FromAnsi(const std::string& ansi);
// Where a log goes when no file is named: the temporary folder, named for the program and the
// date and time of the run ("Setup_iVOX-20101130-143005.log").
std::string DefaultPath();

// The exit code that the last action of the window ends the program with; 0 until an action
// has run. Every end of an action sequence sets it.
void SetExitCode(int code);
int ExitCode();

}  // namespace runlog
