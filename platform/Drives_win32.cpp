#include <windows.h>

#include <vector>

#include "platform/Drives.h"
#include "platform/Modules.h"

namespace platform {

std::string FullPathName(const std::string& path) {
    if (path.empty()) return "";
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameA(path.c_str(), static_cast<DWORD>(buffer.size()),
                                         buffer.data(), nullptr);
        if (n == 0) return "";
        if (n < buffer.size()) return std::string(buffer.data(), n);
        buffer.resize(n);  // n counts the terminating zero when the buffer was too small
    }
}

uint32_t LogicalDrives() {
    return GetLogicalDrives();
}

unsigned DriveType(const std::string& root) {
    return GetDriveTypeA(root.c_str());
}

bool VolumeInformation(const std::string& root, std::string& label, uint32_t* error) {
    char buffer[MAX_PATH + 1] = {};
    const BOOL ok = GetVolumeInformationA(root.c_str(), buffer, MAX_PATH, nullptr, nullptr, nullptr,
                                          nullptr, 0);
    if (error) *error = ok ? 0 : GetLastError();
    label = ok ? buffer : "";
    return ok != FALSE;
}

int64_t DiskSpace(const std::string& root) {
    // The extended call came with later systems, so it is looked up by name; the older one
    // counts clusters, and its product is taken in 32 bits as the systems that lack the
    // extended call do.
    using DiskFreeSpaceEx =
        BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
    if (HMODULE kernel = GetModuleHandleA("kernel32")) {
        const auto ex = reinterpret_cast<DiskFreeSpaceEx>(
            reinterpret_cast<void*>(GetProcAddress(kernel, "GetDiskFreeSpaceExA")));
        ULARGE_INTEGER available, total, free;
        if (ex && ex(root.c_str(), &available, &total, &free))
            return static_cast<int64_t>(total.QuadPart);
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                           &clusters))
        return -1;
    return static_cast<uint32_t>(bytesPerSector * sectorsPerCluster * clusters);
}

CriticalErrorsFail::CriticalErrorsFail() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}

CriticalErrorsFail::~CriticalErrorsFail() {
    SetErrorMode(previous_);
}

std::string UniversalPathName(const std::string& path) {
    if (path.size() < 2 || path[1] != ':') return path;
    const std::string drive = path.substr(0, 2);
    if (GetDriveTypeA((drive + "\\").c_str()) != DRIVE_REMOTE) return path;
    // The network library is loaded from the system folder when it is first needed, so the
    // program imports no library that could be planted beside it.
    using GetConnectionFn = DWORD(WINAPI*)(LPCSTR, LPSTR, LPDWORD);
    static const auto getConnection = reinterpret_cast<GetConnectionFn>(
        ModuleExport(OpenSystemModule("mpr.dll"), "WNetGetConnectionA"));
    char remote[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (!getConnection || getConnection(drive.c_str(), remote, &size) != NO_ERROR) return path;
    return remote + path.substr(2);
}

}  // namespace platform
