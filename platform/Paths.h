// Windows paths and the shell's special folders.
//
// The system's own code names files the Windows way ("C:\Solvenza\ivoxcc.exe"). On Windows
// these are the real paths. On POSIX hosts the machine prefix holds the drives: C: is
// <prefix>/drive_c, Z: is the host's root, and another letter X: is <prefix>/dosdevices/x:
// when the prefix defines it (a folder or a link).
#pragma once

#include <string>

namespace platform {

// Shell special folder numbers (CSIDL values).
enum : int {
    kCsidlDesktop = 0x0000,
    kCsidlPrograms = 0x0002,
    kCsidlDesktopDirectory = 0x0010,
};

// The host path of a Windows path: unchanged on Windows. On POSIX hosts a drive path maps into
// the prefix, backslashes become slashes, and a path without a drive stays relative to the
// current folder. A drive the prefix does not define maps to "", which no file operation finds.
std::string HostPath(const std::string& windowsPath);

// The Windows path of a special folder, without a trailing backslash; false when the platform
// has no such folder. On POSIX hosts the folders live in the prefix's user profile
// (C:\users\<name>\...) and are created on first use, as a fresh Windows profile has them.
bool GetSpecialFolderPath(int csidl, std::string& path);

// The file name extension of a shell shortcut: ".lnk" on Windows, ".desktop" (a launcher
// file) on POSIX hosts.
const char* ShortcutExtension();

}  // namespace platform
