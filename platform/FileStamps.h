// What extraction sets on a file besides its content: the time stamp in the MS-DOS form that zip
// archives carry (local time), the Windows attribute bits, and the replacing rename that puts a
// finished file into place.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileHandle.h"

namespace platform {

// Windows attribute bits that a file keeps from an archive.
enum : uint32_t {
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrArchive = 0x20,
};

// The last-write time of the file as an MS-DOS date (high word) and time (low word) in local
// time: true; false when the file is missing or its time cannot be read or expressed (before
// 1980).
bool GetFileDosTime(const std::string& path, uint32_t& dosDateTime);

// Sets the last-write time of the file from an MS-DOS date (high word) and time (low word) in
// local time: true; false when the file cannot be changed or the value is no valid date.
bool SetFileDosTime(const std::string& path, uint32_t dosDateTime);

// The same on a file open for writing (FileOpen with kWrite): no second open of it by name.
bool SetFileDosTime(FileHandle file, uint32_t dosDateTime);

// Sets the file's attribute bits (kAttr...; other bits are ignored): true on success. POSIX
// hosts keep only the read-only bit, as the owner's write permission.
bool SetFileAttributeBits(const std::string& path, uint32_t attributes);

// Renames `from` to `to`, replacing a file that is there: true on success; false (and both
// files as they were) when `to` is a folder, is in use or cannot be replaced.
bool ReplaceFileWith(const std::string& from, const std::string& to);

// True when a running program holds the file so that it cannot be replaced: a program runs
// from it, or has it open without letting others write or delete it (Windows: opening it for
// writing and deletion fails with a sharing violation). False for a file that nobody holds, a
// missing file, and one refused for another reason (its access list, an immutable file).
bool IsFileHeld(const std::u16string& path);

// The same by UTF-16 paths: the names exactly as given, whatever the ANSI code page can hold.
bool GetFileDosTime(const std::u16string& path, uint32_t& dosDateTime);
bool SetFileDosTime(const std::u16string& path, uint32_t dosDateTime);
bool SetFileAttributeBits(const std::u16string& path, uint32_t attributes);
bool ReplaceFileWith(const std::u16string& from, const std::u16string& to);

}  // namespace platform
