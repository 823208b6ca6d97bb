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

// The access flag that picks the view; a 32-bit system ignores it.
REGSAM ViewFlag(RegView view) {
    return view == RegView::Wow32 ? KEY_WOW64_32KEY : 0;
}

}  // namespace

long RegKey::Open(RegRoot root, const std::string& path, bool forWrite, RegView view) {
    Close();
    HKEY h = nullptr;
    const REGSAM access = (forWrite ? KEY_READ | KEY_WRITE : KEY_READ) | ViewFlag(view);
    const LONG rc = RegOpenKeyExA(RootKey(root), path.c_str(), 0, access, &h);
    if (rc == ERROR_SUCCESS) handle_ = h;
    return rc;
}

long RegKey::Create(RegRoot root, const std::string& path, RegView view) {
    Close();
    HKEY h = nullptr;
    const LONG rc =
        RegCreateKeyExA(RootKey(root), path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_READ | KEY_WRITE | ViewFlag(view), nullptr, &h, nullptr);
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

// Deletes a key without sub-keys in the given view. The call that takes a view is missing on
// systems older than Vista, which have no second view either.
LONG DeleteOneKey(HKEY parent, const std::string& path, REGSAM view) {
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    static const auto deleteKeyEx = reinterpret_cast<DeleteKeyEx>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "RegDeleteKeyExA")));
    if (view != 0 && deleteKeyEx) return deleteKeyEx(parent, path.c_str(), view, 0);
    return RegDeleteKeyA(parent, path.c_str());
}

// A key is deleted only without sub-keys, so the children go first. Every key on the way is
// opened and deleted in the same view.
LONG DeleteTree(HKEY parent, const std::string& path, REGSAM view) {
    HKEY h = nullptr;
    LONG rc = RegOpenKeyExA(parent, path.c_str(), 0, KEY_READ | KEY_WRITE | view, &h);
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        char name[256];
        DWORD len = sizeof name;
        // Always enumerate index 0: each deletion shifts the remaining sub-keys down.
        if (RegEnumKeyExA(h, 0, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (DeleteTree(h, name, view) != ERROR_SUCCESS) break;
    }
    RegCloseKey(h);
    return DeleteOneKey(parent, path, view);
}

}  // namespace

long DeleteKeyTree(RegRoot root, const std::string& path, RegView view) {
    return DeleteTree(RootKey(root), path, ViewFlag(view));
}

}  // namespace platform
