// Access lists for what the elevated setup runs or leaves to run: files and folders that only
// administrators may change, and folders that only administrators may use at all.
//
// Windows: the lists below, set as protected lists (nothing inherited from the folder above),
// owned by the Administrators group. POSIX hosts: the file belongs to the running user and
// neither group nor others may write it (protected), or only its owner may use it (private).
// No function here follows a link: a symbolic link, junction or mount point where a file or
// folder is expected is refused.
#pragma once

#include <functional>
#include <string>

#include "platform/FileHandle.h"

namespace platform {

// The protected list as a security descriptor in SDDL: owner Administrators; SYSTEM and
// Administrators full control, Users read and execute; not inherited, passed on to what a
// folder holds.
std::string ProtectedSddl();

// The private list in SDDL: owner Administrators; SYSTEM and Administrators full control,
// nobody else anything; not inherited, passed on to what a folder holds.
std::string PrivateSddl();

// Creates a new file with the protected list, open for writing and reading with writes by
// others denied: its handle; kInvalidFileHandle when anything exists at the path already (a
// link too, even one that leads nowhere) or the file cannot be created. POSIX hosts create it
// with O_CREAT|O_EXCL|O_NOFOLLOW, owned by the running user, not writable by group or others
// whatever the umask.
FileHandle FileCreateProtected(const std::string& path);

// Gives the existing file or folder at the path the protected list: true; false when nothing is
// there, a link stands there, or the list cannot be set.
bool ProtectFile(const std::string& path);

// Gives the folder and everything below it the protected list, the folder first: true; false
// with the first path that failed in `failed` when a link stands anywhere in the tree (it is not
// followed) or a list cannot be set.
bool ProtectTree(const std::string& folder, std::string& failed);

// Whether what is created inside a protected folder takes the folder's list on by itself:
// Windows, where the list's entries pass on to what a folder holds; not POSIX hosts, where the
// mode of a new file comes from the umask and must be set.
bool NewFilesTakeFolderProtection();

// Creates a new folder with the protected list (what is made inside takes it on): true; false
// when anything exists at the path or the folder cannot be made.
bool MakeProtectedFolder(const std::string& path);

// Creates a fresh folder in `parent` (a folder with a trailing backslash) with the private list,
// named `prefix` and a number no folder had: its path without a trailing backslash; "" when none
// can be made.
std::string MakePrivateFolder(const std::string& parent, const std::string& prefix);

// Creates a new file at exactly the path, open for writing with writes by others denied: its
// handle. kInvalidFileHandle with `elsewhere` false when anything exists at the path (a link
// too) or it cannot be created; with `elsewhere` true when the file made is not the path's own
// (a junction or link among its folders led elsewhere, or it has another name as well): then it
// is deleted again through its handle.
FileHandle FileCreateExact(const std::string& path, bool& elsewhere);

// The temporary folder that a program running as SYSTEM or administrator should use, with a
// trailing backslash: Windows' GetTempPath2W where the system has it (the SYSTEM account's own
// folder), else GetTempPathW; POSIX hosts: TempFolder(). "" when there is none.
std::string ElevatedTempFolder();

// Tests watch what is protected: `observer` hears each path given the protected list, with the
// list in SDDL (Wine keeps no lists, so tests cannot read them back). Empty to stop.
void SetProtectionObserver(std::function<void(const std::string& path, const std::string& sddl)>
                               observer);
// For the platform halves: tells the observer.
void ReportProtected(const std::string& path);

}  // namespace platform
