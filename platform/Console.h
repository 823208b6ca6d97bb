// The program's command-line arguments and its standard output and error streams.
//
// The setup program is a window program; run by a script or a deployment tool it still takes
// switches and reports on its standard streams. Texts cross this service as UTF-8.
#pragma once

#include <string>
#include <vector>

namespace platform {

// The arguments after the program's name, as UTF-8. Windows splits the process's own UTF-16
// command line by its rules (quotes group spaces and are removed), so names the ANSI code page
// cannot hold arrive whole; POSIX hosts take `argv` as the shell gave it.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A Windows command line split into the program's name and its arguments, by the rules of
// Windows programs: blanks separate outside double quotes; quotes group and are removed; a
// backslash before a quote makes it a plain quote, two backslashes before one are one. With one
// exception that deployment scripts need: backslashes before the quote that closes a quoted
// value stay backslashes, so /DIR="C:\Apps\Q T\" is the folder C:\Apps\Q T (and the next
// switch stays a switch), not a value that runs on into the rest of the line.
std::vector<std::u16string> SplitCommandLine(const std::u16string& line);

// Writes the text to standard output or standard error, as it is (add the line ends). A window
// program on Windows writes to the streams its starter gave it, else to the console of the
// process that started it; without either the text goes nowhere.
void WriteStandardOutput(const std::string& utf8);
void WriteStandardError(const std::string& utf8);

}  // namespace platform
