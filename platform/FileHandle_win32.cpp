#include <windows.h>

#include "platform/FileHandle.h"
#include "platform/Text.h"

namespace platform {

namespace {

HANDLE Native(FileHandle handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Reads and writes go in pieces a DWORD count can carry.
constexpr size_t kPiece = 1u << 30;

}  // namespace

FileHandle FileOpen(const std::u16string& path, FileAccess access, FileShare share,
                    FileDisposition disposition) {
    if (path.empty() ||
        (disposition != FileDisposition::kOpenExisting && access == FileAccess::kRead)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kInvalidFileHandle;
    }
    const DWORD desired = access == FileAccess::kRead    ? GENERIC_READ
                          : access == FileAccess::kWrite ? GENERIC_WRITE
                                                         : GENERIC_READ | GENERIC_WRITE;
    const DWORD shareMode = share == FileShare::kDenyNone    ? FILE_SHARE_READ | FILE_SHARE_WRITE
                            : share == FileShare::kDenyWrite ? FILE_SHARE_READ
                                                             : 0;
    const DWORD how = disposition == FileDisposition::kOpenExisting ? OPEN_EXISTING
                      : disposition == FileDisposition::kCreateNew  ? CREATE_NEW
                                                                    : CREATE_ALWAYS;
    HANDLE h = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), desired, shareMode,
                           nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidFileHandle;
    // Devices, pipes and consoles open by name too; only files on disk are wanted here.
    if (GetFileType(h) != FILE_TYPE_DISK) {
        CloseHandle(h);
        SetLastError(ERROR_ACCESS_DENIED);
        return kInvalidFileHandle;
    }
    return reinterpret_cast<FileHandle>(h);
}

// An ANSI path is the same path converted from the code page.
FileHandle FileOpen(const std::string& path, FileAccess access, FileShare share,
                    FileDisposition disposition) {
    return FileOpen(AnsiToUtf16(path), access, share, disposition);
}

int64_t FileRead(FileHandle handle, void* buffer, size_t count) {
    if (handle == kInvalidFileHandle) return -1;
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(count - done < kPiece ? count - done : kPiece);
        DWORD got = 0;
        if (!ReadFile(Native(handle), static_cast<char*>(buffer) + done, want, &got, nullptr))
            return done > 0 ? static_cast<int64_t>(done) : -1;
        if (got == 0) break;
        done += got;
    }
    return static_cast<int64_t>(done);
}

int64_t FileWrite(FileHandle handle, const void* buffer, size_t count) {
    if (handle == kInvalidFileHandle) return -1;
    size_t done = 0;
    while (done < count) {
        const DWORD want = static_cast<DWORD>(count - done < kPiece ? count - done : kPiece);
        DWORD put = 0;
        if (!WriteFile(Native(handle), static_cast<const char*>(buffer) + done, want, &put,
                       nullptr) ||
            put == 0)
            return done > 0 ? static_cast<int64_t>(done) : -1;
        done += put;
    }
    return static_cast<int64_t>(done);
}

int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin) {
    if (handle == kInvalidFileHandle) return -1;
    const DWORD method = origin == SeekOrigin::kFromStart     ? FILE_BEGIN
                         : origin == SeekOrigin::kFromCurrent ? FILE_CURRENT
                                                              : FILE_END;
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(Native(handle), distance, &position, method)) return -1;
    return position.QuadPart;
}

int64_t FileSize(FileHandle handle) {
    LARGE_INTEGER size;
    if (handle == kInvalidFileHandle || !GetFileSizeEx(Native(handle), &size)) return -1;
    return size.QuadPart;
}

bool FileClose(FileHandle handle) {
    return handle != kInvalidFileHandle && CloseHandle(Native(handle)) != FALSE;
}

}  // namespace platform
