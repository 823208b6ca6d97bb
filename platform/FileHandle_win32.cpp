#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <vector>

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

namespace {

// The running user's SID as text ("S-1-5-21-..."), "" when the token does not tell.
std::string UserSidText() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return "";
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::string text;
    if (size > 0) {
        std::vector<unsigned char> buffer(size);  // aligned as new aligns, as TOKEN_USER needs
        char* sid = nullptr;
        if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
            ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &sid)) {
            text = sid;
            LocalFree(sid);
        }
    }
    CloseHandle(token);
    return text;
}

}  // namespace

FileHandle FileCreatePrivate(const std::string& path) {
    const std::string user = UserSidText();
    if (path.empty() || user.empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kInvalidFileHandle;
    }
    // A protected list that takes nothing from the folder: full access for the running user
    // and the Administrators group, nothing for anyone else.
    const std::string sddl = "D:P(A;;FA;;;" + user + ")(A;;FA;;;BA)";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return kInvalidFileHandle;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    // CREATE_NEW never opens what is there, and a reparse point at the path counts as there.
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return h == INVALID_HANDLE_VALUE ? kInvalidFileHandle : reinterpret_cast<FileHandle>(h);
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

bool FileIdentityOf(FileHandle handle, FileIdentity& out) {
    BY_HANDLE_FILE_INFORMATION info;
    if (handle == kInvalidFileHandle || !GetFileInformationByHandle(Native(handle), &info))
        return false;
    out.volume = info.dwVolumeSerialNumber;
    out.index = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return true;
}

bool FileClose(FileHandle handle) {
    return handle != kInvalidFileHandle && CloseHandle(Native(handle)) != FALSE;
}

}  // namespace platform
