// Files and folders named by Windows paths (see platform/Paths.h for how POSIX hosts map them).
#pragma once

#include <string>

namespace platform {

// True when a file or folder exists at the path.
bool FileExists(const std::string& path);

// What the file system records about a file or folder. POSIX hosts call a file read-only when
// its owner may not write it. `link`: a symbolic link, junction or other reparse point stands
// at the path itself (POSIX hosts: a symbolic link, with `directory` and `readOnly` those of
// what it leads to).
struct FileAttributes {
    bool directory = false;
    bool readOnly = false;
    bool link = false;
};

// True and the attributes of the file or folder at the path; false when nothing is there or the
// attributes cannot be read.
bool ReadFileAttributes(const std::string& path, FileAttributes& out);

// Deletes a file: true on success. Fails for a missing file, a folder, a file without the
// rights to delete it, and a file in use as the program of a running process (Windows keeps
// those locked; POSIX hosts get the same rule here so setup behaves alike on both).
bool RemoveFile(const std::string& path);

// Creates one folder (its parent must exist): true on success, false when it exists already or
// cannot be made.
bool MakeFolder(const std::string& path);

// Removes an empty folder: true on success.
bool RemoveFolder(const std::string& path);

// The same by UTF-16 paths: the names exactly as given, whatever the ANSI code page can hold.
bool FileExists(const std::u16string& path);
bool ReadFileAttributes(const std::u16string& path, FileAttributes& out);
bool RemoveFile(const std::u16string& path);
bool MakeFolder(const std::u16string& path);
bool RemoveFolder(const std::u16string& path);

// Makes the folder the process's current folder: true on success.
bool SetCurrentFolder(const std::string& path);

}  // namespace platform
