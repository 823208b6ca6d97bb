// The setup program's command line, for administrators: the switches, their checks, the usage
// text and the exit codes.
//
// Switches start with "/" or "-" and are matched without regard to letter case; a value
// follows "=" and may stand in double quotes. Without any switch the program is the window as
// the user knows it.
#pragma once

#include <string>
#include <vector>

namespace admin {

// What the program's exit code says.
enum ExitCode : int {
    kExitSuccess = 0,
    kExitBadCommandLine = 1,
    kExitFolderUnusable = 2,
    kExitProductRunning = 3,  // install: the product must be closed; uninstall: refused
    kExitPayloadDamaged = 4,
    kExitOtherFailure = 5,
    // Another run of the setup program holds the machine (the code that deployment tools read as
    // "busy, try again later").
    kExitAnotherRun = 1618,
};
// The meaning of an exit code, in the words the usage text gives it.
const char* ExitCodeMeaning(int code);

struct Options {
    bool silent = false;     // /SILENT or /VERYSILENT: no window, no box; their texts go to
                             // the log and stderr
    bool uninstall = false;  // /UNINSTALL
    bool help = false;       // /? or /HELP
    bool log = false;        // /LOG or /LOG=file
    std::string logFile;     // UTF-8; empty for the default place
    bool dirGiven = false;   // /DIR=folder
    std::string dir;         // UTF-8
};

// Reads the arguments (UTF-8): true, or false with the reason in `problem` (UTF-8).
bool ParseCommandLine(const std::vector<std::string>& args, Options& out, std::string& problem);

// Why a normalised application folder (no trailing backslash) cannot be used, or "" when it
// can: it must be a full path below the root of a local drive ("C:\Solvenza"), not a network
// share nor a device path, each part a name Windows allows for a folder (no device name such as
// CON or COM1, with or without an extension), and short enough for the deepest file of the
// product. The window's button and /DIR both ask it.
std::string FolderProblem(const std::u16string& folder);

// The usage, with every switch and the exit codes (UTF-8, lines ended by "\n").
std::string UsageText();

}  // namespace admin
