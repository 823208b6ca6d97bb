// Windows Firewall authorization of the product's two programs.
//
// The work is best effort: every step writes one diagnostic line to standard output and nothing
// is raised or shown. The firewall is reached through FirewallHost, a narrow mirror of the COM
// objects the work needs (manager, local policy, current profile, authorized-application list
// and entries). The program uses SystemFirewall(); tests hand in a fake to produce the states a
// machine will not (an application listed but disabled, no firewall manager, COM already
// initialised in another model).
//
// Results are COM result codes (HRESULT values): negative means failure. A method that hands out
// an object sets it whenever it succeeds; on failure it leaves it empty.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

using FwResult = std::int32_t;

constexpr FwResult kFwOk = 0;
constexpr FwResult kFwOutOfMemory = static_cast<FwResult>(0x8007000Eu);      // E_OUTOFMEMORY
constexpr FwResult kFwInvalidArgument = static_cast<FwResult>(0x80070057u);  // E_INVALIDARG
constexpr FwResult kFwNullPointer = static_cast<FwResult>(0x80004003u);      // E_POINTER
constexpr FwResult kFwChangedMode = static_cast<FwResult>(0x80010106u);      // RPC_E_CHANGED_MODE
constexpr FwResult kFwClassNotRegistered =
    static_cast<FwResult>(0x80040154u);  // REGDB_E_CLASSNOTREG

inline bool FwSucceeded(FwResult r) {
    return r >= 0;
}

// A COM string (BSTR on Windows) holding a copy of a UTF-16 text. Allocation can fail; then the
// string holds nothing and Length() is 0.
class ComString {
public:
    explicit ComString(const std::u16string& text);
    ~ComString();
    ComString(const ComString&) = delete;
    ComString& operator=(const ComString&) = delete;

    bool Allocated() const { return data_ != nullptr; }
    // The length the string records (SysStringLen): 0 when not allocated.
    std::size_t Length() const { return length_; }
    std::u16string Text() const {
        return data_ ? std::u16string(data_, Length()) : std::u16string();
    }
    // The string as the COM interfaces take it (a BSTR on Windows); null when not allocated.
    char16_t* Data() const { return data_; }

private:
    char16_t* data_ = nullptr;
    std::size_t length_ = 0;
};

// An entry of the authorized-application list (INetFwAuthorizedApplication).
class FirewallEntry {
public:
    virtual ~FirewallEntry() = default;
    // The entry's enabled flag: ok and the flag, or the failure.
    virtual FwResult GetEnabled(bool& enabled) = 0;
    // Sets the entry's program file: ok, or the failure.
    virtual FwResult PutProcessImageFileName(const ComString& path) = 0;
    // Sets the entry's name in the list: ok, or the failure.
    virtual FwResult PutName(const ComString& name) = 0;
};

// The profile's authorized-application list (INetFwAuthorizedApplications).
class FirewallApplications {
public:
    virtual ~FirewallApplications() = default;
    // The entry for a program file: ok and the entry, or a failure when the program is not listed.
    virtual FwResult Item(const ComString& path, std::unique_ptr<FirewallEntry>& entry) = 0;
    // Adds an entry made by the same host's CreateEntry: ok, or the failure.
    virtual FwResult Add(FirewallEntry& entry) = 0;
};

// A firewall profile (INetFwProfile).
class FirewallProfile {
public:
    virtual ~FirewallProfile() = default;
    // The profile's authorized-application list: ok and the list, or the failure.
    virtual FwResult GetAuthorizedApplications(std::unique_ptr<FirewallApplications>& apps) = 0;
};

// The local firewall policy (INetFwPolicy).
class FirewallPolicy {
public:
    virtual ~FirewallPolicy() = default;
    // The profile in force: ok and the profile, or the failure.
    virtual FwResult GetCurrentProfile(std::unique_ptr<FirewallProfile>& profile) = 0;
};

// The firewall manager (INetFwMgr).
class FirewallManager {
public:
    virtual ~FirewallManager() = default;
    // The local policy: ok and the policy, or the failure.
    virtual FwResult GetLocalPolicy(std::unique_ptr<FirewallPolicy>& policy) = 0;
};

// COM on the calling thread and the two firewall classes the work creates. Objects it hands
// out are released by destroying them, before UninitializeCom.
class FirewallHost {
public:
    virtual ~FirewallHost() = default;
    // Initialises COM for the thread, apartment-threaded without OLE1 DDE: ok or S_FALSE (already
    // initialised the same way, to be balanced all the same), kFwChangedMode (initialised in
    // another model, usable but not to be balanced), or another failure.
    virtual FwResult InitializeCom() = 0;
    // Balances one InitializeCom that did not fail.
    virtual void UninitializeCom() = 0;
    // A new firewall manager: ok and the manager, or the failure (kFwClassNotRegistered where the
    // machine has no firewall).
    virtual FwResult CreateManager(std::unique_ptr<FirewallManager>& manager) = 0;
    // A new, empty authorized-application entry: ok and the entry, or the failure.
    virtual FwResult CreateEntry(std::unique_ptr<FirewallEntry>& entry) = 0;
};

// The machine's firewall: the Windows Firewall COM classes on Windows; elsewhere a host whose
// COM always initialises and whose manager cannot be created.
FirewallHost& SystemFirewall();

// The current profile of the firewall (`profile` empty on failure).
FwResult WindowsFirewallInitialize(FirewallHost& host, std::unique_ptr<FirewallProfile>& profile);

// Whether a program file is listed and enabled in the profile. A program that is not listed is
// not enabled and not a failure.
FwResult WindowsFirewallAppIsEnabled(FirewallProfile& profile, const std::u16string& path,
                                     bool& enabled);

// Lists a program file under a name in the profile, unless it is listed and enabled already.
FwResult WindowsFirewallAddApp(FirewallHost& host, FirewallProfile& profile,
                               const std::u16string& path, const std::u16string& name);

// Authorizes the application folder's "ivoxcc.exe" as "Quillora Solvenza Accounting" and
// "voxTram.exe" as "Solvenza Client"; the outcome is only written to standard output. The
// setup window's AuthorizeFirewall calls this with the text of its folder field.
void AuthorizeFirewall(const std::u16string& folder, FirewallHost& host = SystemFirewall());
