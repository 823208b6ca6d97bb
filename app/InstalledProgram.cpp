#include "app/InstalledProgram.h"

#include <vector>

#include "app/Payload.h"
#include "app/RunLog.h"
#include "platform/FileHandle.h"
#include "platform/Modules.h"
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

bool ReadProgram(const std::string& path, std::vector<char>& bytes) {
    const platform::FileHandle f =
        platform::FileOpen(path, platform::FileAccess::kRead, platform::FileShare::kDenyWrite,
                           platform::FileDisposition::kOpenExisting);
    if (f == platform::kInvalidFileHandle) return false;
    const int64_t size = platform::FileSize(f);
    bool ok = size > 0;
    if (ok) {
        bytes.resize(static_cast<size_t>(size));
        ok = platform::FileRead(f, bytes.data(), bytes.size()) == size;
    }
    platform::FileClose(f);
    return ok;
}

bool Failed(ui::Form* owner, const std::string& text) {
    runlog::Line(text);
    ui::Application::Instance().ShowMessageBox(owner, platform::Utf8ToUtf16(text), u"Solvenza",
                                               ui::kMbOk | ui::kMbIconError);
    return false;
}

}  // namespace

bool RegisterInstalledProduct(const std::string& folder, ui::Form* owner) {
    const std::string copy = folder + "\\" + kSetupCopyName;
    const std::string self = platform::ProgramFileName();
    if (!platform::SameTextLocale(self, copy)) {
        std::vector<char> bytes;
        try {
            if (!ReadProgram(self, bytes)) throw ui::Exception();
            payload::ReplaceWholeFile(copy, bytes.data(), bytes.size());
            // The uninstaller runs elevated: only administrators may change it.
            if (!platform::MakeProgramRunnable(copy) || !platform::ProtectFile(copy))
                throw ui::Exception();
        } catch (const ui::Exception&) {
            return Failed(owner, "Không ghi được tệp " + runlog::FromAnsi(copy) + ".");
        }
    }

    const std::string quoted = "\"" + copy + "\" /UNINSTALL";
    struct Text {
        const char* name;
        std::u16string value;
    };
    const Text texts[] = {
        {"DisplayName", u"Solvenza Quillora"},
        {"Publisher", platform::Utf8ToUtf16("Công ty Cổ phần Solvenza Việt nam")},
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
    for (const char* name : {"NoModify", "NoRepair"}) {
        ok = ok && key.WriteDword(name, 1) == platform::kRegOk;
        if (ok) runlog::Line("Ghi registry " + kKeyForLog + name + " = 1");
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
