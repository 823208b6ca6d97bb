// The system registry: keys under a root, string and 32-bit number values.
//
// Result codes are the Windows error codes, on every host: 0 success, 2 (not found) for a
// missing key or value, 13 (invalid data) for a value of another type, 1009 (bad database) when
// the store cannot be read, other codes for access and write failures. On Windows this is the
// real registry; on POSIX hosts it is a small human-readable file in the machine prefix,
// rewritten atomically on every change.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

enum class RegRoot { LocalMachine, CurrentUser };

// Which view of the registry a key is reached through. A 64-bit Windows keeps separate copies of
// the software keys for 32-bit and 64-bit programs; the product is a 32-bit program, so its keys
// are read and written in the 32-bit view whichever build of the setup runs. Keys outside the
// redirected part (the system's service settings) are the same in both views. 32-bit Windows
// and the POSIX store have one view only, and every view names it.
enum class RegView { Default, Wow32 };

constexpr long kRegOk = 0;
constexpr long kRegNotFound = 2;
constexpr long kRegAccessDenied = 5;
constexpr long kRegInvalidData = 13;
constexpr long kRegBadStore = 1009;

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens an existing key: 0, or 2 when the key does not exist. Never creates anything.
    long Open(RegRoot root, const std::string& path, bool forWrite = false,
              RegView view = RegView::Default);
    // Opens the key, creating it and any missing parent keys: 0 on success.
    long Create(RegRoot root, const std::string& path, RegView view = RegView::Default);
    bool IsOpen() const { return handle_ != nullptr; }
    void Close();

    // A string value (REG_SZ or REG_EXPAND_SZ) in the ANSI code page: 0, 2 when absent, 13 when
    // the value has another type.
    long ReadString(const std::string& name, std::string& out) const;
    // A 32-bit number (REG_DWORD): 0, 2 when absent, 13 when the value has another type.
    long ReadDword(const std::string& name, uint32_t& out) const;
    long WriteString(const std::string& name, const std::string& value);
    long WriteDword(const std::string& name, uint32_t value);
    // A string value (REG_SZ) of any Unicode text, for texts the ANSI code page may not hold.
    long WriteUnicodeString(const std::string& name, const std::u16string& value);

private:
    void* handle_ = nullptr;  // HKEY on Windows; the key's full path on POSIX
};

// Deletes a key with all its sub-keys; its parent keys stay: 0, or 2 when it does not exist.
long DeleteKeyTree(RegRoot root, const std::string& path, RegView view = RegView::Default);

}  // namespace platform
