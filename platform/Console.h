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

// Writes the text to standard output or standard error, as it is (add the line ends). A window
// program on Windows writes to the streams its starter gave it, else to the console of the
// process that started it; without either the text goes nowhere.
void WriteStandardOutput(const std::string& utf8);
void WriteStandardError(const std::string& utf8);

}  // namespace platform
