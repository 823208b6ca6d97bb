#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>

#include <vector>

#include "platform/Durable.h"
#include "platform/Text.h"

namespace platform {

namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// Whether the SID is the one of the running process's user.
bool IsRunningUser(PSID sid) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    bool same = false;
    if (size > 0) {
        std::vector<unsigned char> buffer(size);
        if (GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
            same = EqualSid(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, sid) != FALSE;
    }
    CloseHandle(token);
    return same;
}

}  // namespace

bool FileFlush(FileHandle handle) {
    return handle != kInvalidFileHandle &&
           FlushFileBuffers(reinterpret_cast<HANDLE>(handle)) != FALSE;
}

bool FlushFolder(const std::string&) {
    return true;
}

bool ReplaceFileDurably(const std::u16string& from, const std::u16string& to) {
    return MoveFileExW(W(from), W(to), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool ReplaceFileDurably(const std::string& from, const std::string& to) {
    return ReplaceFileDurably(AnsiToUtf16(from), AnsiToUtf16(to));
}

bool LinkFile(const std::string& existing, const std::string& link) {
    return CreateHardLinkW(W(AnsiToUtf16(link)), W(AnsiToUtf16(existing)), nullptr) != FALSE;
}

bool LastFailureMayPass() {
    const DWORD error = GetLastError();
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
           error == ERROR_ACCESS_DENIED;
}

FileHandle FileOpenOwnedBy(const std::string& path, bool& trustedOwner) {
    trustedOwner = false;
    // A reparse point at the path is opened as itself, not followed, and then refused.
    HANDLE h = CreateFileW(W(AnsiToUtf16(path)), GENERIC_READ | READ_CONTROL,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidFileHandle;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileInformationByHandle(h, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))) {
        CloseHandle(h);
        SetLastError(ERROR_ACCESS_DENIED);
        return kInvalidFileHandle;
    }
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(h, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) == ERROR_SUCCESS &&
        owner) {
        trustedOwner = IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
                       IsWellKnownSid(owner, WinLocalSystemSid) || IsRunningUser(owner);
    }
    if (descriptor) LocalFree(descriptor);
    return reinterpret_cast<FileHandle>(h);
}

}  // namespace platform
