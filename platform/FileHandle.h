// Files opened by Windows path (see platform/Paths.h for how POSIX hosts map them), read and
// written through an integer handle: what the archive component and the extraction engine use
// to read archives and write what they extract.
//
// Share modes say what other opens of the same file may do while this one is open, as on
// Windows: an open fails when its access is denied by an open already there, or when it would
// deny an access that an open already there holds. Windows enforces this against every program.
// POSIX hosts emulate it with advisory open-file-description locks, so it holds among the opens
// this service makes (in this process and in other programs built on it) and not against other
// programs; on a file system without such locks the file opens without the emulation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

// An open file; kInvalidFileHandle when there is none.
using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFileHandle = -1;

enum class FileAccess { kRead, kWrite, kReadWrite };

// What other opens may do meanwhile: read and write, only read, nothing.
enum class FileShare { kDenyNone, kDenyWrite, kDenyReadWrite };

enum class FileDisposition {
    kOpenExisting,  // the file must exist
    kCreateNew,     // the file must not exist; it is created empty
    kCreateAlways,  // created empty, or emptied when it exists
};

enum class SeekOrigin { kFromStart, kFromCurrent, kFromEnd };

// Opens a regular file: its handle; kInvalidFileHandle when it is missing (kOpenExisting),
// exists (kCreateNew), is a folder, is refused by a share mode, or cannot be opened. Creating
// needs write access.
FileHandle FileOpen(const std::string& path, FileAccess access, FileShare share,
                    FileDisposition disposition);
// The same by a UTF-16 path: the name exactly as given, whatever the ANSI code page can hold.
FileHandle FileOpen(const std::u16string& path, FileAccess access, FileShare share,
                    FileDisposition disposition);

// Creates a new file that only the running user and administrators may change, open for writing
// with every other open denied: its handle; kInvalidFileHandle when anything already exists at
// the path (a link too) or the file cannot be created. For files the program later loads as code.
FileHandle FileCreatePrivate(const std::string& path);

// Reads up to `count` bytes at the position: the number read, fewer than `count` only at the
// end of the file; -1 on error or an invalid handle.
int64_t FileRead(FileHandle handle, void* buffer, size_t count);

// Writes `count` bytes at the position: the number written, fewer than `count` when the device
// fails part way (such as a full disk); -1 when nothing could be written or the handle is invalid.
int64_t FileWrite(FileHandle handle, const void* buffer, size_t count);

// Moves the position: the new position from the start of the file; -1 on error (a position
// before the start, an invalid handle), with the position unchanged.
int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin);

// The size of the open file in bytes; -1 on error or an invalid handle.
int64_t FileSize(FileHandle handle);

// Which file the handle has open, the same for every open of one file and different for any
// other file: true; false for an invalid handle.
struct FileIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity& o) const { return volume == o.volume && index == o.index; }
};
bool FileIdentityOf(FileHandle handle, FileIdentity& out);

// Closes the file: true; false for an invalid handle.
bool FileClose(FileHandle handle);

// The size in bytes of the file at the path; -1 when it cannot be opened for reading or sized.
inline int64_t FileSizeAt(const std::string& path) {
    const FileHandle f =
        FileOpen(path, FileAccess::kRead, FileShare::kDenyNone, FileDisposition::kOpenExisting);
    if (f == kInvalidFileHandle) return -1;
    const int64_t size = FileSize(f);
    FileClose(f);
    return size;
}

}  // namespace platform
