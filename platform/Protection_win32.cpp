#include <windows.h>
// After windows.h, which they need.
#include <aclapi.h>
#include <sddl.h>

#include <cstdio>

#include "platform/Protection.h"
#include "platform/Text.h"

namespace platform {

namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// A security descriptor made from SDDL, freed with the object.
class Descriptor {
public:
    explicit Descriptor(const std::string& sddl) {
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1,
                                                                  &sd_, nullptr))
            sd_ = nullptr;
    }
    ~Descriptor() {
        if (sd_) LocalFree(sd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    PSECURITY_DESCRIPTOR get() const { return sd_; }

private:
    PSECURITY_DESCRIPTOR sd_ = nullptr;
};

// Sets the descriptor's owner and list on the open object, the list protected from what the
// folder above passes on.
bool SetOnHandle(HANDLE h, const Descriptor& d) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!d.get() || !GetSecurityDescriptorOwner(d.get(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(d.get(), &present, &dacl, &defaulted) || !present)
        return false;
    const DWORD error =
        SetSecurityInfo(h, SE_FILE_OBJECT,
                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                            PROTECTED_DACL_SECURITY_INFORMATION,
                        owner, nullptr, dacl, nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

// A folder created new with the descriptor: true.
bool MakeFolderWith(const std::string& path, const std::string& sddl) {
    Descriptor d(sddl);
    if (!d.get()) return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, d.get(), FALSE};
    // CreateDirectoryW fails on anything at the path, a reparse point included.
    return CreateDirectoryW(W(AnsiToUtf16(path)), &attributes) != FALSE;
}

}  // namespace

FileHandle FileCreateProtected(const std::string& path) {
    Descriptor d(ProtectedSddl());
    if (path.empty() || !d.get()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return kInvalidFileHandle;
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, d.get(), FALSE};
    // CREATE_NEW never opens what is there, and a reparse point at the path counts as there.
    HANDLE h = CreateFileW(W(AnsiToUtf16(path)), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                           &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidFileHandle;
    ReportProtected(path);
    return reinterpret_cast<FileHandle>(h);
}

bool ProtectFile(const std::string& path) {
    // The reparse point itself is opened, never what it leads to, and then refused.
    HANDLE h = CreateFileW(W(AnsiToUtf16(path)), READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool ok = GetFileInformationByHandle(h, &info) != FALSE &&
              (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 &&
              GetFileType(h) == FILE_TYPE_DISK;
    if (!ok) SetLastError(ERROR_CANT_ACCESS_FILE);
    ok = ok && SetOnHandle(h, Descriptor(ProtectedSddl()));
    const DWORD error = GetLastError();
    CloseHandle(h);
    SetLastError(error);
    if (ok) ReportProtected(path);
    return ok;
}

bool MakeProtectedFolder(const std::string& path) {
    if (!MakeFolderWith(path, ProtectedSddl())) return false;
    ReportProtected(path);
    return true;
}

std::string MakePrivateFolder(const std::string& parent, const std::string& prefix) {
    for (int attempt = 0; attempt < 64; ++attempt) {
        char number[16];
        std::snprintf(number, sizeof number, "%08lx",
                      static_cast<unsigned long>(GetTickCount() * 2654435761u ^
                                                 GetCurrentProcessId() * 40503u ^
                                                 static_cast<unsigned>(attempt) * 7919u));
        const std::string path = parent + prefix + number;
        if (MakeFolderWith(path, PrivateSddl())) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return "";
    }
    return "";
}

namespace {

// The full long form of the path as GetFinalPathNameByHandleW gives it, without "\\?\".
std::u16string LongFullPath(const std::u16string& path) {
    wchar_t full[32768];
    const DWORD n = GetFullPathNameW(W(path), 32768, full, nullptr);
    if (n == 0 || n >= 32768) return u"";
    wchar_t longer[32768];
    const DWORD m = GetLongPathNameW(full, longer, 32768);
    if (m == 0 || m >= 32768) return u"";
    return std::u16string(reinterpret_cast<const char16_t*>(longer), m);
}

bool SameFolding(std::u16string a, std::u16string b) {
    return a.size() == b.size() &&
           CompareStringOrdinal(W(a), static_cast<int>(a.size()), W(b), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

}  // namespace

FileHandle FileCreateExact(const std::string& path, bool& elsewhere) {
    elsewhere = false;
    const std::u16string wide = AnsiToUtf16(path);
    HANDLE h = CreateFileW(W(wide), GENERIC_WRITE | DELETE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidFileHandle;
    wchar_t final[32768];
    const DWORD n = GetFinalPathNameByHandleW(h, final, 32768, FILE_NAME_NORMALIZED);
    std::u16string got(reinterpret_cast<const char16_t*>(final), n < 32768 ? n : 0);
    if (got.compare(0, 8, u"\\\\?\\UNC\\") == 0)
        got = u"\\\\" + got.substr(8);
    else if (got.compare(0, 4, u"\\\\?\\") == 0)
        got = got.substr(4);
    BY_HANDLE_FILE_INFORMATION info;
    elsewhere = n == 0 || n >= 32768 || !SameFolding(got, LongFullPath(wide)) ||
                !GetFileInformationByHandle(h, &info) || info.nNumberOfLinks != 1;
    if (elsewhere) {
        // Deleted by its handle: the name may lead somewhere else by now.
        FILE_DISPOSITION_INFO gone{TRUE};
        SetFileInformationByHandle(h, FileDispositionInfo, &gone, sizeof gone);
        CloseHandle(h);
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return kInvalidFileHandle;
    }
    return reinterpret_cast<FileHandle>(h);
}

bool NewFilesTakeFolderProtection() {
    return true;
}

std::string ElevatedTempFolder() {
    // Windows 11 and the updated Windows 10 give SYSTEM a folder of its own
    // (C:\Windows\SystemTemp) instead of one that every user may write into.
    using TempPath2 = DWORD(WINAPI*)(DWORD, LPWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto path2 =
        kernel ? reinterpret_cast<TempPath2>(
                     reinterpret_cast<void*>(GetProcAddress(kernel, "GetTempPath2W")))
               : nullptr;
    wchar_t buffer[MAX_PATH + 2] = {};
    const DWORD n = path2 ? path2(MAX_PATH + 1, buffer) : GetTempPathW(MAX_PATH + 1, buffer);
    if (n == 0 || n > MAX_PATH) return "";
    std::string ansi;
    if (!TryUtf16ToAnsi(std::u16string(reinterpret_cast<const char16_t*>(buffer), n), ansi))
        return "";
    return ansi;
}

}  // namespace platform
