// The log of one run for the administrator, and how the run ended.
//
// The log is UTF-8 text, one line per step, each starting with the local date and time to the
// millisecond. Lines are written (and reach the disk) as they come, so a log of a run that
// broke off ends at its last step. Without an open log, Line does nothing.
#pragma once

#include <cstddef>
#include <string>

namespace runlog {

// Starts a log in a new file at the Windows path, or at a numbered name beside it when a file
// (or a link) has that name ("setup.1.log"): the name taken in `opened`. kElsewhere when the
// file made was not at that path (a junction or link among its folders), which is then gone
// again; kFailed when no file can be made there.
enum class OpenResult { kOpened, kFailed, kElsewhere };
OpenResult Open(const std::string& path, std::string& opened);
// The same, true when the log is open.
bool Open(const std::string& path);
bool IsOpen();
void Close();
// One line of UTF-8 text.
void Line(const std::string& utf8);
// The line for a file written whole: its path, size and CRC-32.
void FileWritten(const std::string& path, const void* data, size_t size);
// A text in the ANSI code page (a path, a registry string), as UTF-8 for a line.
std::string FromAnsi(const std::string& ansi);
// Where a log goes when no file is named: the run's own temporary folder (app/RunTemp.h),
// named for the program and the date and time of the run ("Setup_iVOX-20101130-143005.log");
// "" when that folder cannot be made.
std::string DefaultPath();

// The exit code that the last action of the window ends the program with; 0 until an action
// has run. Every end of an action sequence sets it.
void SetExitCode(int code);
int ExitCode();

}  // namespace runlog
