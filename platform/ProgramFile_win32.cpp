#include <windows.h>

#include <vector>

#include "platform/Durable.h"
#include "platform/FileHandle.h"
#include "platform/ProgramFile.h"
#include "platform/Protection.h"
#include "platform/Text.h"

namespace platform {

bool RemoveProgramFile(const std::string& path) {
    const std::u16string p16 = AnsiToUtf16(path);
    const std::wstring file(p16.begin(), p16.end());
    if (DeleteFileW(file.c_str())) return true;
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return true;

    // The running program's image: out of its folder now, gone with the next start of Windows.
    wchar_t folder[MAX_PATH + 1], aside[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n > 0 && n <= MAX_PATH && GetTempFileNameW(folder, L"Set", 0, aside) != 0) {
        if (MoveFileExW(file.c_str(), aside, MOVEFILE_REPLACE_EXISTING)) {
            MoveFileExW(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            return true;
        }
        DeleteFileW(aside);
    }
    MoveFileExW(file.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return false;
}

bool MakeProgramRunnable(const std::string& path) {
    return GetFileAttributesW(reinterpret_cast<const wchar_t*>(AnsiToUtf16(path).c_str())) !=
           INVALID_FILE_ATTRIBUTES;
}

}  // namespace platform

namespace platform {

namespace {

// The program's own file by its UTF-16 module name; empty when unknown.
std::wstring OwnFile() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return L"";
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return L"";
        path.resize(path.size() * 2);
    }
}

std::wstring Wide(const std::string& ansi) {
    const std::u16string p = AnsiToUtf16(ansi);
    return std::wstring(p.begin(), p.end());
}

bool Identity(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE h =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, &info) != FALSE;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool ProgramFileReadable() {
    const std::wstring own = OwnFile();
    if (own.empty()) return false;
    const HANDLE h = CreateFileW(own.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    char first[2];
    DWORD got = 0;
    const bool ok = ReadFile(h, first, sizeof first, &got, nullptr) && got == sizeof first;
    CloseHandle(h);
    return ok;
}

bool IsProgramFile(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION a, b;
    const std::wstring own = OwnFile();
    return !own.empty() && Identity(own, a) && Identity(Wide(path), b) &&
           a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
           a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

bool CopyProgramFileTo(const std::string& path) {
    const std::wstring own = OwnFile();
    if (own.empty()) return false;
    const HANDLE in = CreateFileW(own.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE) return false;
    // A new file with the protected list from its first moment: in a folder that users may
    // write, a file made by a plain copy would be theirs to swap before it takes its place. Only
    // the data comes along, so neither the read-only attribute of a CD nor the download mark
    // (which would make Windows warn whenever the copy starts) does.
    const FileHandle out = FileCreateProtected(path);
    if (out == kInvalidFileHandle) {
        CloseHandle(in);
        return false;
    }
    std::vector<char> buffer(size_t{1} << 20);
    bool ok = true;
    for (DWORD got = 0; ok; ) {
        ok = ReadFile(in, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != FALSE;
        if (!ok || got == 0) break;
        ok = FileWrite(out, buffer.data(), got) == static_cast<int64_t>(got);
    }
    CloseHandle(in);
    ok = ok && FileFlush(out);
    ok = FileClose(out) && ok;
    if (!ok) DeleteFileW(reinterpret_cast<const wchar_t*>(AnsiToUtf16(path).c_str()));
    return ok;
}

}  // namespace platform
