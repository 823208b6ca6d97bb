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
