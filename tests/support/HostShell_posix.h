// Running the build machine's own tools from a test (Linux hosts only).
#pragma once

#include <string>

namespace testing_machine {

struct ShellResult {
    int code;            // the exit code; -1 when the command did not run or was killed
    std::string output;  // standard output and error together
};

// Runs `command` with the host's shell and collects what it prints.
ShellResult Shell(const std::string& command);

// `s` quoted for the shell as one word.
std::string Quote(const std::string& s);

}  // namespace testing_machine
