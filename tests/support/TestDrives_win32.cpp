#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <fstream>
#include <vector>

#include "tests/support/TestDrives.h"

namespace testing_machine {

namespace {

// The request by which Wine's configuration program defines a drive letter: its mount manager
// makes the letter's link in the Wine prefix point at the folder and records the drive type.
// This is the layout of Wine 8; where it differs the request fails or the type does not take,
// and mapping answers false.
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

struct UnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDevice;
    WCHAR letter;
    USHORT mountPointOffset;  // of the host folder, a zero-terminated string after the record
    USHORT deviceOffset;
    USHORT labelOffset;
};

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// The host folder of a Windows path, from Wine's own translation.
std::string HostFolder(const std::string& folder) {
    using UnixFileName = char*(CDECL*)(LPCWSTR);
    const auto translate = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    wchar_t wide[MAX_PATH] = {};
    if (!translate || !MultiByteToWideChar(CP_ACP, 0, folder.c_str(), -1, wide, MAX_PATH))
        return "";
    char* unix = translate(wide);
    if (!unix) return "";
    std::string host = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return host;
}

// Maps the letter to the host folder with the type; no folder and kDriveNoRootDir remove it.
bool Define(char letter, const std::string& hostFolder, unsigned type) {
    UnixDrive drive = {};
    drive.type = type;
    drive.letter = static_cast<WCHAR>(letter | 0x20);
    if (!hostFolder.empty()) drive.mountPointOffset = sizeof drive;
    std::vector<char> request(sizeof drive + (hostFolder.empty() ? 0 : hostFolder.size() + 1));
    drive.size = static_cast<ULONG>(request.size());
    std::memcpy(request.data(), &drive, sizeof drive);
    std::memcpy(request.data() + sizeof drive, hostFolder.c_str(), request.size() - sizeof drive);
    const HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok =
        DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                        static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

}  // namespace

bool MapTestDrive(char letter, const std::string& folder, unsigned type) {
    if (!UnderWine()) return false;
    const std::string host = HostFolder(folder);
    const char root[] = {letter, ':', '\\', 0};
    return !host.empty() && Define(letter, host, type) && GetDriveTypeA(root) == type;
}

void UnmapTestDrive(char letter) {
    if (UnderWine()) Define(letter, "", DRIVE_NO_ROOT_DIR);
}

bool SmallTestDrive(char letter, const std::string&, std::string& why) {
    const char root[] = {letter, ':', '\\', '\0'};
    if (GetFileAttributesA(root) != INVALID_FILE_ATTRIBUTES) return true;
    why = std::string("no small drive ") + letter + ": here (tools/small-drive.sh maps it)";
    return false;
}

void RemoveSmallTestDrive(char) {
    // tools/small-drive.sh removes the drive once the test program has ended.
}

void WriteVolumeLabel(const std::string& folder, const std::string& label) {
    std::ofstream(folder + "\\.windows-label") << label << "\n";
}

}  // namespace testing_machine
