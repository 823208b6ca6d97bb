// The parts of a Windows path: drive, folder, file name, extension.
//
// A path is scanned character by character in the ANSI code page, so the second byte of a
// double-byte character is never taken for a delimiter. "\" and "/" separate folders; ":" ends
// a drive. A drive is a letter and a colon ("C:") or the server and share of a network path
// ("\\server\share").
#pragma once

#include <string>

namespace platform {

// The drive of the path: "C:", "\\server\share", or "" when the path names none.
std::string PathDrive(const std::string& path);

// The drive of the path followed by "\" ("C:\", "\\server\share\"); "" when it names none.
std::string PathDriveRoot(const std::string& path);

// Everything up to and including the last "\", "/" or ":" ("C:\data\" of "C:\data\arc.zip");
// "" for a bare file name.
std::string PathFolder(const std::string& path);

// What follows the folder ("arc.zip" of "C:\data\arc.zip").
std::string PathFileName(const std::string& path);

// The extension of the file name with its dot (".zip"); "" when the name has no dot.
std::string PathExtension(const std::string& path);

// The path with the extension of its file name replaced by `extension` (given with its dot, or
// "" to remove it); a name without an extension gets it appended.
std::string ChangePathExtension(const std::string& path, const std::string& extension);

}  // namespace platform
