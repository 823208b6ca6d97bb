#include "app/InstalledProgram.h"

#include <cstdio>
#include <ctime>
#include <chrono>
#include <vector>

#include "app/CommandLine.h"
#include "app/Payload.h"
#include "app/RunAhead.h"
#include "app/RunLog.h"
#include "app/Version.h"
#include "platform/FileHandle.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/PathParts.h"
#include "platform/ProgramFile.h"
#include "platform/Protection.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/Exception.h"

namespace installed {

namespace {

// The entry is the 32-bit product's: it lives in the 32-bit view, beside the product key.
constexpr platform::RegView kView = platform::RegView::Wow32;

const std::string kKeyForLog = std::string("HKLM\\") + kUninstallKey + "\\";

// The size of the file at the Windows path; 0 when it cannot be read.
uint64_t SizeOf(const std::string& path) {
    const int64_t size = platform::FileSizeAt(path);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

// Where the copy of the running program is written before it takes its place at `copy`.
std::string FreshCopyName(const std::string& copy) {
    return platform::PathFolder(copy) + payload::kTempMark + platform::PathFileName(copy) +
           ".copy";
}

// The copy of the running program at `copy`, replacing the one there: taken from `ahead`, which
// made it beside it under a name of ours, on the disk whole, then moved into place.
bool PutCopy(const std::string& copy, std::future<bool>& ahead) {
    const std::string fresh = FreshCopyName(copy);
    if (!ahead.valid() || !ahead.get()) return false;
    // The uninstaller runs elevated: only administrators may change it.
    if (!platform::ReplaceFileWith(fresh, copy) || !platform::MakeProgramRunnable(copy) ||
        !platform::ProtectFile(copy)) {
        platform::RemoveFile(fresh);
        return false;
    }
    return true;
}

// Today's local date as the installed-programs list keeps it: "20101130".
std::string Today() {
    const std::time_t now = std::time(nullptr);
    const std::tm* t = std::localtime(&now);
    char text[40] = "";
    if (t)
        std::snprintf(text, sizeof text, "%04d%02d%02d", t->tm_year + 1900, t->tm_mon + 1,
                      t->tm_mday);
    return text;
}

bool Failed(ui::Form* owner, const std::string& text) {
    runlog::Line(text);
    ui::Application::Instance().ShowMessageBox(owner, platform::Utf8ToUtf16(text), u"Solvenza",
                                               ui::kMbOk | ui::kMbIconError);
    return false;
}

}  // namespace

bool CheckSetupProgramReadable(ui::Form* owner) {
    if (platform::ProgramFileReadable()) return true;
    runlog::SetExitCode(admin::kExitOtherFailure);
    return Failed(owner,
                  "Không đọc được tệp của chương trình cài đặt, nên không chép được nó "
                  "vào thư mục ứng dụng để tháo dỡ sau này.");
}

std::future<bool> StartSetupCopy(const std::string& folder) {
    const std::string copy = folder + "\\" + kSetupCopyName;
    if (platform::IsProgramFile(copy)) return {};
    const std::string fresh = FreshCopyName(copy);
    platform::RemoveFile(fresh);  // one a killed run left
    return RunAhead([fresh] { return platform::CopyProgramFileTo(fresh); });
}

void DropSetupCopy(std::future<bool>& ahead, const std::string& folder) {
    // A copy that never got a thread has not been made, and need not be.
    if (!ahead.valid() || ahead.wait_for(std::chrono::seconds(0)) == std::future_status::deferred)
        return;
    if (ahead.get()) platform::RemoveFile(FreshCopyName(folder + "\\" + kSetupCopyName));
}

bool RegisterInstalledProduct(const std::string& folder, uint64_t installedBytes, ui::Form* owner,
                              std::future<bool>& ahead) {
    const std::string copy = folder + "\\" + kSetupCopyName;
    if (!platform::IsProgramFile(copy)) {
        if (!PutCopy(copy, ahead))
            return Failed(owner, "Không ghi được tệp " + runlog::FromAnsi(copy) + ".");
        runlog::Line("Chép chương trình cài đặt vào " + runlog::FromAnsi(copy));
    }
    const uint64_t kilobytes = (installedBytes + SizeOf(copy) + 1023) / 1024;

    const std::string quoted = "\"" + copy + "\" /UNINSTALL";
    struct Text {
        const char* name;
        std::u16string value;
    };
    const Text texts[] = {
        {"DisplayName", u"Solvenza Quillora"},
        {"Publisher", platform::Utf8ToUtf16("Công ty Cổ phần Solvenza Việt nam")},
        {"DisplayVersion", u"" SETUP_VERSION},
        {"InstallDate", platform::Utf8ToUtf16(Today())},
        {"InstallLocation", platform::AnsiToUtf16(folder)},
        {"DisplayIcon", platform::AnsiToUtf16(folder + "\\ivoxcc.exe,0")},
        {"UninstallString", platform::AnsiToUtf16(quoted)},
        {"QuietUninstallString", platform::AnsiToUtf16(quoted + " /SILENT")},
    };
    platform::RegKey key;
    bool ok = key.Create(platform::RegRoot::LocalMachine, kUninstallKey, kView) == platform::kRegOk;
    for (const Text& t : texts) {
        ok = ok && key.WriteUnicodeString(t.name, t.value) == platform::kRegOk;
        if (ok)
            runlog::Line("Ghi registry " + kKeyForLog + t.name + " = " +
                         platform::Utf16ToUtf8(t.value));
    }
    struct Number {
        const char* name;
        uint32_t value;
    };
    const Number numbers[] = {
        {"VersionMajor", SETUP_VERSION_MAJOR},
        {"VersionMinor", SETUP_VERSION_MINOR},
        {"EstimatedSize", static_cast<uint32_t>(kilobytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : kilobytes)},
        {"NoModify", 1},
        {"NoRepair", 1},
    };
    for (const Number& n : numbers) {
        ok = ok && key.WriteDword(n.name, n.value) == platform::kRegOk;
        if (ok)
            runlog::Line("Ghi registry " + kKeyForLog + n.name + " = " + std::to_string(n.value));
    }
    if (!ok)
        return Failed(owner,
                      "Không ghi được khoá " + kKeyForLog.substr(0, kKeyForLog.size() - 1) + ".");
    return true;
}

void UnregisterInstalledProduct(const std::string& folder) {
    if (platform::DeleteKeyTree(platform::RegRoot::LocalMachine, kUninstallKey, kView) ==
        platform::kRegOk)
        runlog::Line("Xoá khoá registry " + kKeyForLog.substr(0, kKeyForLog.size() - 1));
    const std::string copy = folder + "\\" + kSetupCopyName;
    if (platform::RemoveProgramFile(copy))
        runlog::Line("Xoá tệp " + runlog::FromAnsi(copy));
    else
        runlog::Line("Tệp " + runlog::FromAnsi(copy) + " sẽ được xoá khi Windows khởi động lại");
}

}  // namespace installed
