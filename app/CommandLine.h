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
// can: it must be a full path on a drive ("C:\Solvenza", or the drive itself) or a network
// share, each part a name Windows allows, and short enough for the deepest file of the product.
std::string FolderProblem(const std::u16string& folder);

// The usage, with every switch and the exit codes (UTF-8, lines ended by "\n").
std::string UsageText();

}  // namespace admin
