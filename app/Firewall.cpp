#include "app/Firewall.h"

#include <cstdio>

#include "app/RunLog.h"
#include "platform/Text.h"

namespace {

// Result codes are shown as their 32 bits, whatever the width of long.
unsigned long Code(FwResult r) {
    return static_cast<unsigned long>(static_cast<std::uint32_t>(r));
}

// One diagnostic line with a result code; flushed, so it is not lost if the program ends
// abruptly or standard output is a pipe.
void LogResult(const char* format, FwResult r) {
    std::printf(format, Code(r));
    std::fflush(stdout);
    char line[160];
    std::snprintf(line, sizeof line, format, Code(r));
    runlog::Line(std::string("Tường lửa: ") + line);
}

// One diagnostic line naming a program file. The path is written in the ANSI code page, the
// encoding the C runtime would give a wide string; a character it cannot hold becomes '?'
// rather than cutting the line short.
void LogPath(const char* format, const std::u16string& path) {
    std::printf(format, platform::Utf16ToAnsi(path).c_str());
    std::fflush(stdout);
    char line[600];
    std::snprintf(line, sizeof line, format, platform::Utf16ToAnsi(path).c_str());
    runlog::Line("Tường lửa: " + runlog::FromAnsi(line));
}

}  // namespace

FwResult WindowsFirewallInitialize(FirewallHost& host, std::unique_ptr<FirewallProfile>& profile) {
    profile.reset();

    std::unique_ptr<FirewallManager> manager;
    FwResult hr = host.CreateManager(manager);
    if (!FwSucceeded(hr)) {
        LogResult("CoCreateInstance failed: 0x%08lx\n", hr);
        return hr;
    }
    std::unique_ptr<FirewallPolicy> policy;
    hr = manager->GetLocalPolicy(policy);
    if (!FwSucceeded(hr)) {
        LogResult("get_LocalPolicy failed: 0x%08lx\n", hr);
        return hr;
    }
    hr = policy->GetCurrentProfile(profile);
    if (!FwSucceeded(hr)) {
        profile.reset();
        LogResult("get_CurrentProfile failed: 0x%08lx\n", hr);
    }
    return hr;  // the policy, then the manager, are released here
}

FwResult WindowsFirewallAppIsEnabled(FirewallProfile& profile, const std::u16string& path,
                                     bool& enabled) {
    enabled = false;

    std::unique_ptr<FirewallApplications> apps;
    FwResult hr = profile.GetAuthorizedApplications(apps);
    if (!FwSucceeded(hr)) {
        LogResult("get_AuthorizedApplications failed: 0x%08lx\n", hr);
        return hr;
    }
    const ComString image(path);
    if (!image.Allocated()) {
        hr = kFwOutOfMemory;
        LogResult("SysAllocString failed: 0x%08lx\n", hr);
        return hr;
    }
    std::unique_ptr<FirewallEntry> entry;
    if (!FwSucceeded(apps->Item(image, entry))) {
        // Not in the list: not authorized, which is an answer, not a failure.
        LogPath("Authorized application %s is disabled in the firewall.\n", path);
        return kFwOk;
    }
    bool flag = false;
    hr = entry->GetEnabled(flag);
    if (!FwSucceeded(hr)) {
        LogResult("get_Enabled failed: 0x%08lx\n", hr);
        return hr;
    }
    if (flag) {
        enabled = true;
        LogPath("Authorized application %s is enabled in the firewall.\n", path);
    } else {
        LogPath("Authorized application %s is disabled in the firewall.\n", path);
    }
    return hr;
}

FwResult WindowsFirewallAddApp(FirewallHost& host, FirewallProfile& profile,
                               const std::u16string& path, const std::u16string& name) {
    bool enabled = false;
    FwResult hr = WindowsFirewallAppIsEnabled(profile, path, enabled);
    if (!FwSucceeded(hr)) {
        LogResult("WindowsFirewallAppIsEnabled failed: 0x%08lx\n", hr);
        return hr;
    }
    if (enabled) return hr;

    std::unique_ptr<FirewallApplications> apps;
    hr = profile.GetAuthorizedApplications(apps);
    if (!FwSucceeded(hr)) {
        LogResult("get_AuthorizedApplications failed: 0x%08lx\n", hr);
        return hr;
    }
    std::unique_ptr<FirewallEntry> entry;
    hr = host.CreateEntry(entry);
    if (!FwSucceeded(hr)) {
        LogResult("CoCreateInstance failed: 0x%08lx\n", hr);
        return hr;
    }
    const ComString image(path);
    if (!image.Allocated()) {
        hr = kFwOutOfMemory;
        LogResult("SysAllocString failed: 0x%08lx\n", hr);
        return hr;
    }
    hr = entry->PutProcessImageFileName(image);
    if (!FwSucceeded(hr)) {
        LogResult("put_ProcessImageFileName failed: 0x%08lx\n", hr);
        return hr;
    }
    // An empty name counts as a failed allocation: the list needs a name to show.
    const ComString listName(name);
    if (listName.Length() == 0) {
        hr = kFwOutOfMemory;
        LogResult("SysAllocString failed: 0x%08lx\n", hr);
        return hr;
    }
    hr = entry->PutName(listName);
    if (!FwSucceeded(hr)) {
        LogResult("put_Name failed: 0x%08lx\n", hr);
        return hr;
    }
    hr = apps->Add(*entry);
    if (!FwSucceeded(hr)) {
        LogResult("Add failed: 0x%08lx\n", hr);
        return hr;
    }
    LogPath("Authorized application %s is now enabled in the firewall.\n", path);
    return hr;
}

void AuthorizeFirewall(const std::u16string& folder, FirewallHost& host) {
    const FwResult init = host.InitializeCom();
    // COM already initialised on this thread in another model is usable as it is; it is then
    // not ours to uninitialise.
    if (FwSucceeded(init) || init == kFwChangedMode) {
        std::unique_ptr<FirewallProfile> profile;
        const FwResult hr = WindowsFirewallInitialize(host, profile);
        if (!FwSucceeded(hr)) {
            LogResult("WindowsFirewallInitialize failed: 0x%08lx\n", hr);
        } else {
            WindowsFirewallAddApp(host, *profile, folder + u"\\ivoxcc.exe",
                                  u"Quillora Solvenza Accounting");
            WindowsFirewallAddApp(host, *profile, folder + u"\\voxTram.exe", u"Solvenza Client");
        }
        // Every firewall object is released before COM goes away.
    } else {
        LogResult("CoInitializeEx failed: 0x%08lx\n", init);
    }
    if (FwSucceeded(init)) host.UninitializeCom();
}
