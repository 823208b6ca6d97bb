#include <windows.h>

#include <vector>

#include "platform/Registry.h"
#include "platform/Text.h"

namespace platform {

namespace {

HKEY RootKey(RegRoot root) {
    return root == RegRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

HKEY H(void* h) { return static_cast<HKEY>(h); }

}  // namespace

long RegKey::Open(RegRoot root, const std::string& path, bool forWrite) {
    Close();
    HKEY h = nullptr;
    const REGSAM access = forWrite ? KEY_READ | KEY_WRITE : KEY_READ;
    const LONG rc = RegOpenKeyExA(RootKey(root), path.c_str(), 0, access, &h);
    if (rc == ERROR_SUCCESS) handle_ = h;
    return rc;
}

long RegKey::Create(RegRoot root, const std::string& path) {
    Close();
    HKEY h = nullptr;
    const LONG rc = RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                    KEY_READ | KEY_WRITE, nullptr, &h, nullptr);
    if (rc == ERROR_SUCCESS) handle_ = h;
    return rc;
}

void RegKey::Close() {
    if (handle_) RegCloseKey(H(handle_));
    handle_ = nullptr;
}

long RegKey::ReadString(const std::string& name, std::string& out) const {
    out.clear();
    if (!handle_) return ERROR_INVALID_HANDLE;
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(H(handle_), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return ERROR_INVALID_DATA;
    std::vector<char> buf(size + 1, '\0');
    rc = RegQueryValueExA(H(handle_), name.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(buf.data()), &size);
    if (rc != ERROR_SUCCESS) return rc;
    out.assign(buf.data(), size);
    // The stored size usually counts the terminating NUL; the text ends at the first one.
    const size_t nul = out.find('\0');
    if (nul != std::string::npos) out.resize(nul);
    return ERROR_SUCCESS;
}

long RegKey::ReadDword(const std::string& name, uint32_t& out) const {
    if (!handle_) return ERROR_INVALID_HANDLE;
    DWORD type = 0, value = 0, size = sizeof value;
    const LONG rc = RegQueryValueExA(H(handle_), name.c_str(), nullptr, &type,
                                     reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_MORE_DATA) return ERROR_INVALID_DATA;
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD) return ERROR_INVALID_DATA;
    out = value;
    return ERROR_SUCCESS;
}

long RegKey::WriteString(const std::string& name, const std::string& value) {
    if (!handle_) return ERROR_INVALID_HANDLE;
    return RegSetValueExA(H(handle_), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

long RegKey::WriteDword(const std::string& name, uint32_t value) {
    if (!handle_) return ERROR_INVALID_HANDLE;
    const DWORD v = value;
    return RegSetValueExA(H(handle_), name.c_str(), 0, REG_DWORD,
                          reinterpret_cast<const BYTE*>(&v), sizeof v);
}

long RegKey::WriteUnicodeString(const std::string& name, const std::u16string& value) {
    if (!handle_) return ERROR_INVALID_HANDLE;
    const std::u16string name16 = AnsiToUtf16(name);
    const std::wstring wname(name16.begin(), name16.end());
    const std::wstring data(value.begin(), value.end());
    return RegSetValueExW(H(handle_), wname.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
}

namespace {

// RegDeleteKey only removes keys without sub-keys, so the children go first.
LONG DeleteTree(HKEY parent, const std::string& path) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WRITE, &h);
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        char name[256];
        DWORD len = sizeof name;
        // Always enumerate index 0: each deletion shifts the remaining sub-keys down.
        if (RegEnumKeyExA(h, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (DeleteTree(h, name) != ERROR_SUCCESS) break;
    }
    RegCloseKey(h);
    return RegDeleteKeyA(parent, path.c_str());
}

}  // namespace

long DeleteKeyTree(RegRoot root, const std::string& path) { return DeleteTree(RootKey(root), path); }

}  // namespace platform
