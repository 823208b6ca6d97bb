#include <windows.h>

#include "platform/FileStamps.h"

namespace platform {

bool GetFileDosTime(const std::string& path, uint32_t& dosDateTime) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
    FILETIME local;
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&data.ftLastWriteTime, &local) ||
        !FileTimeToDosDateTime(&local, &date, &time))
        return false;
    dosDateTime = (static_cast<uint32_t>(date) << 16) | time;
    return true;
}

bool SetFileDosTime(const std::string& path, uint32_t dosDateTime) {
    FILETIME local, utc;
    if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16),
                               static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
        !LocalFileTimeToFileTime(&local, &utc))
        return false;
    HANDLE h = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = SetFileTime(h, nullptr, nullptr, &utc);
    CloseHandle(h);
    return ok != FALSE;
}

bool SetFileAttributeBits(const std::string& path, uint32_t attributes) {
    DWORD bits = attributes & (kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrArchive);
    if (bits == 0) bits = FILE_ATTRIBUTE_NORMAL;
    return SetFileAttributesA(path.c_str(), bits) != FALSE;
}

bool ReplaceFileWith(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace platform
