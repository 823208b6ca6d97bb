// Putting files in place so that a power cut leaves either the old or the new file, never a
// renamed file whose data never reached the disk; and reading back, safely, a file of ours that
// lies in a folder other users may write.
#pragma once

#include <string>

#include "platform/FileHandle.h"

namespace platform {

// Writes what the system still holds of the open file to the disk (FlushFileBuffers; fsync):
// true on success; false on an invalid handle or a failing device.
bool FileFlush(FileHandle handle);

// Makes the names created, renamed or removed in the folder durable: true on success. Windows
// makes each such rename durable on its own (ReplaceFileDurably), so there it only reports
// true; POSIX hosts flush the folder itself (fsync of the folder).
bool FlushFolder(const std::string& folder);

// As ReplaceFileWith (platform/FileStamps.h), and on Windows the rename is on the disk when it
// returns (MOVEFILE_WRITE_THROUGH); POSIX hosts need FlushFolder afterwards for that.
bool ReplaceFileDurably(const std::string& from, const std::string& to);
bool ReplaceFileDurably(const std::u16string& from, const std::u16string& to);

// Makes `link` a second name of the file at `existing` (a hard link), never over anything at
// `link`: true; false when something is there, the volume keeps no links (FAT) or it cannot
// be made.
bool LinkFile(const std::string& existing, const std::string& link);

// Whether the last failed rename or open met a file that another program holds for a moment
// (a sharing, lock or access violation on Windows; a busy file on POSIX hosts), which may pass.
bool LastFailureMayPass();

// Opens the regular file at the path for reading, never through a link or reparse point there:
// its handle, with `trustedOwner` telling whether the file's owner is one that an ordinary user
// cannot be (Windows: Administrators, SYSTEM or the running user; POSIX: root or the running
// user). kInvalidFileHandle when nothing is there, it is no regular file, a link is there, or it
// cannot be opened.
FileHandle FileOpenOwnedBy(const std::string& path, bool& trustedOwner);

}  // namespace platform
