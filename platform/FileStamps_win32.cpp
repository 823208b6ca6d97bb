#include <windows.h>

#include "platform/FileStamps.h"
#include "platform/Text.h"

namespace platform {

namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

}  // namespace

bool GetFileDosTime(const std::u16string& path, uint32_t& dosDateTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(W(path), GetFileExInfoStandard, &data)) return false;
    FILETIME local;
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return false;
    dosDateTime = (static_cast<uint32_t>(date) << 16) | time;
    return true;
}

bool SetFileDosTime(FileHandle file, uint32_t dosDateTime) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return false;
    return SetFileTime(reinterpret_cast<HANDLE>(file), nullptr, nullptr, &utc) != FALSE;
}

bool SetFileDosTime(const std::u16string& path, uint32_t dosDateTime) {
    HANDLE h = CreateFileW(W(path), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = SetFileDosTime(reinterpret_cast<FileHandle>(h), dosDateTime);
    CloseHandle(h);
    return ok;
}

bool SetFileAttributeBits(const std::u16string& path, uint32_t attributes) {
    DWORD bits = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesW(W(path), bits) != FALSE;
}

bool ReplaceFileWith(const std::u16string& from, const std::u16string& to) {
    return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool IsFileHeld(const std::u16string& path) {
    // Access is checked before sharing: a file the access list closes to us reads as refused,
    // whoever has it open.
    HANDLE h = CreateFileW(W(path), GENERIC_WRITE | DELETE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        CloseHandle(h);
        return false;
    }
    return GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_LOCK_VIOLATION;
}

// An ANSI path is the same path converted from the code page.
bool GetFileDosTime(const std::string& path, uint32_t& dosDateTime) {
    return GetFileDosTime(AnsiToUtf16(path), dosDateTime);
}

bool SetFileDosTime(const std::string& path, uint32_t dosDateTime) {
    return SetFileDosTime(AnsiToUtf16(path), dosDateTime);
}

bool SetFileAttributeBits(const std::string& path, uint32_t attributes) {
    return SetFileAttributeBits(AnsiToUtf16(path), attributes);
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return ReplaceFileWith(AnsiToUtf16(from), AnsiToUtf16(to));
}

}  // namespace platform
