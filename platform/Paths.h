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
    kCsidlCommonPrograms = 0x0017,          // the Programs menu of every user of the PC
    kCsidlCommonDesktopDirectory = 0x0019,  // the desktop of every user of the PC
};

// True when the shortcuts of an install belong in the all-users folders (kCsidlCommon...): on
// Windows when the program runs elevated, as an IT account or SYSTEM whose own profile nobody
// who uses the PC sees. POSIX hosts keep one profile: false, and the common folders have no
// path there.
bool ShortcutsForAllUsers();

// The host path of a Windows path: unchanged on Windows. On POSIX hosts a drive path maps into
// the prefix, backslashes become slashes, and a path without a drive stays relative to the
// current folder. A drive the prefix does not define maps to "", which no file operation finds.
std::string HostPath(const std::string& windowsPath);

// The Windows path of a special folder, without a trailing backslash; false when the platform
// has no such folder. On POSIX hosts the folders live in the prefix's user profile
// (C:\users\<name>\...) and are created on first use, as a fresh Windows profile has them.
bool GetSpecialFolderPath(int csidl, std::string& path);

// The Windows system folder ("C:\windows\system32"), without a trailing backslash; "" when it
// cannot be read. POSIX hosts keep it in the prefix, created on first use, so a library the
// setup puts there lands where the prefix's programs look for shared libraries.
std::string SystemFolder();

// The system folder of 32-bit programs, where a 32-bit program's shared libraries go: the WOW64
// folder ("C:\windows\SysWOW64") on a 64-bit Windows, the system folder on a 32-bit one, and
// the system folder on POSIX hosts; "" when it cannot be read.
std::string SystemFolder32();

// The system's temporary folder with a trailing backslash, "" when there is none. On POSIX
// hosts it is the Temp folder of the prefix's user profile, private to the user (the program
// runs with administrator rights and writes temporary files by name), created on first use.
std::string TempFolder();

// A file name that no file had in `folder`: the first three characters of `prefix`, a
// hexadecimal number and ".TMP". The empty file is created so the name stays unique; "" when
// the folder does not exist or cannot be written.
std::string CreateTempFileName(const std::string& folder, const std::string& prefix);

// The file name extension of a shell shortcut: ".lnk" on Windows, ".desktop" (a launcher
// file) on POSIX hosts.
const char* ShortcutExtension();

}  // namespace platform
