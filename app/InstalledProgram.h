// The product in the system's list of installed programs: its uninstall entry, and the copy of
// this setup program in the application folder that the entry runs to uninstall.
#pragma once

#include <cstdint>
#include <future>
#include <string>

namespace ui {
class Form;
}

namespace installed {

// Under HKEY_LOCAL_MACHINE, in the registry view of 32-bit programs, as the product is one.
inline constexpr const char* kUninstallKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Solvenza Quillora";
inline constexpr const char* kSetupCopyName = "Setup_iVOX.exe";

// Before an install writes anything: true when the running setup program's own file can be
// read, so that its copy can be made at the end; else false after an error box owned by
// `owner` (a copy that failed only after the files, shortcuts and folder were in place would
// leave an installation without its uninstaller).
bool CheckSetupProgramReadable(ui::Form* owner);

// After an install or upgrade into `folder` (ANSI): puts a copy of the running setup program
// there (unless it runs from that very file) and writes the uninstall entry: the display name,
// the publisher, the version (as text and as major and minor numbers), the install location
// and date, the size in KB of what was installed (`installedBytes` and the copy), the product's
// icon, an uninstall string and a quiet one that run the copy with /UNINSTALL (and /SILENT),
// no modify, no repair. An upgrade rewrites it, so the entry always names the folder, version
// and date of the last install. False after an error box owned by `owner` when the copy or the
// entry could not be written.
// `ahead` is the copy StartSetupCopy began: it is waited for and put in place.
bool RegisterInstalledProduct(const std::string& folder, uint64_t installedBytes, ui::Form* owner,
                              std::future<bool>& ahead);

// Begins the copy that RegisterInstalledProduct puts into `folder`, on a thread of its own: it
// is tens of megabytes, flushed, and may be written while the server tree comes out. Not valid
// when no copy is needed (the program runs from that file); without a thread the copy is made
// when RegisterInstalledProduct waits for it.
std::future<bool> StartSetupCopy(const std::string& folder);

// Waits for a copy begun ahead and not used (the install stopped) and removes it.
void DropSetupCopy(std::future<bool>& ahead, const std::string& folder);

// After an uninstall: removes the entry and the setup program's copy in `folder`, also when
// this program runs from that copy (see platform::RemoveProgramFile).
void UnregisterInstalledProduct(const std::string& folder);

}  // namespace installed
