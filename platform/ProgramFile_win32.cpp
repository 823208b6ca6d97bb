#include <windows.h>

#include "platform/ProgramFile.h"
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
    const std::wstring own = OwnFile(), to = Wide(path);
    if (own.empty() || !CopyFileW(own.c_str(), to.c_str(), TRUE)) return false;
    // The source's attributes and streams came along: a read-only file (from a CD or a
    // write-protected stick) could never be replaced or removed, and the download mark would
    // make Windows warn whenever the copy starts.
    const DWORD attributes = GetFileAttributesW(to.c_str());
    const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    bool ok = attributes != INVALID_FILE_ATTRIBUTES &&
              SetFileAttributesW(to.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL) != FALSE;
    DeleteFileW((to + L":Zone.Identifier").c_str());
    if (ok) {
        const HANDLE h = CreateFileW(to.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ok = h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
    if (!ok) DeleteFileW(to.c_str());
    return ok;
}

}  // namespace platform
