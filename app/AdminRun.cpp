#include "app/AdminRun.h"

#include "app/Report.h"
#include "app/RunLog.h"
#include "app/SilentBackend.h"
#include "app/Version.h"
#include "app/uUpd.h"
#include "platform/Console.h"
#include "platform/Text.h"

namespace admin {

namespace {

std::string Ansi(const std::string& utf8) {
    return platform::Utf16ToAnsi(platform::Utf8ToUtf16(utf8));
}

}  // namespace

Run::Run(const std::vector<std::string>& args) {
    std::string problem;
    if (!ParseCommandLine(args, options_, problem)) {
        // Silent or not is unknown when the line cannot be read; a box must not hold up a
        // script that said /SILENT.
        bool silent = false;
        for (const std::string& a : args) {
            const std::string name = a.size() > 1 ? platform::UpperAscii(a.substr(1)) : "";
            silent = silent || name == "SILENT" || name == "VERYSILENT";
        }
        if (silent)
            platform::WriteStandardError(problem + "\n\n" + UsageText());
        else
            ShowReport(problem + "\n\n" + UsageText(), true);
        runlog::SetExitCode(kExitBadCommandLine);
        ended_ = true;
        return;
    }
    if (options_.log) {
        const std::string path =
            options_.logFile.empty() ? runlog::DefaultPath() : Ansi(options_.logFile);
        if (!runlog::Open(path))
            platform::WriteStandardError("Không ghi được nhật ký " + runlog::FromAnsi(path) +
                                         ".\n");
    }
    // The first line: which version ran, and how it was asked to.
    std::string line = "Setup_iVOX " SETUP_VERSION ", dòng lệnh:";
    for (const std::string& a : args) line += " " + a;
    runlog::Line(line);
    if (options_.help) {
        // A silent run never waits for a person: the usage goes to standard output and the log.
        if (options_.silent) {
            const std::string usage = UsageText();
            platform::WriteStandardOutput(usage);
            for (size_t at = 0, end; (end = usage.find('\n', at)) != std::string::npos;
                 at = end + 1)
                if (end > at) runlog::Line(usage.substr(at, end - at));
        } else {
            ShowReport(UsageText(), false);
        }
        runlog::SetExitCode(kExitSuccess);
        ended_ = true;
        return;
    }
    if (options_.dirGiven) {
        // The trailing backslashes off, as the field takes them off when the window gets it.
        std::u16string folder = platform::Utf8ToUtf16(options_.dir);
        while (!folder.empty() && folder.back() == u'\\') folder.pop_back();
        const std::string problem = FolderProblem(folder);
        if (!problem.empty()) {
            runlog::Line(problem);
            if (options_.silent)
                platform::WriteStandardError(problem + "\n");
            else
                ShowReport(problem + "\n", true);
            runlog::SetExitCode(kExitFolderUnusable);
            ended_ = true;
            return;
        }
    }
    // Until the window is ready: an error on the way there ends the program with this code.
    runlog::SetExitCode(kExitOtherFailure);
    ui::Application::Instance().SetMessageBoxObserver(
        [](const std::u16string& text, const std::u16string& caption, unsigned) {
            runlog::Line("Hộp thông báo " + platform::Utf16ToUtf8(caption) + ": " +
                         platform::Utf16ToUtf8(text));
        });
}

std::unique_ptr<ui::Backend> Run::Backend(std::unique_ptr<ui::Backend> (*native)()) {
    if (options_.silent) return std::make_unique<SilentBackend>();
    return native();
}

void Run::Refuse(const std::string& reason, int code) {
    ui::Application::Instance().ShowMessageBox(nullptr, platform::Utf8ToUtf16(reason), u"Solvenza",
                                               ui::kMbOk | ui::kMbIconError);
    runlog::SetExitCode(code);
}

bool Run::Start(TuUpd& w) {
    if (options_.dirGiven) {
        // The field's own normalisation, as if the folder had been typed there.
        w.Edit_AppPath->SetText(platform::Utf8ToUtf16(options_.dir));
        w.Edit_AppPathExit(*w.Edit_AppPath);
    }
    if (options_.uninstall) {
        if (!w.Radio2->Enabled()) {
            Refuse("Solvenza Quillora chưa được cài đặt trên máy này.", kExitOtherFailure);
            return false;
        }
        w.Radio2->SetChecked(true);
    }
    if (!options_.silent) {
        runlog::SetExitCode(kExitSuccess);  // closing the window without an action
        return true;
    }
    w.bt_NangCap->Click();
    return false;
}

int Run::Finish() {
    const int code = runlog::ExitCode();
    runlog::Line("Kết thúc, mã thoát " + std::to_string(code) + ": " + ExitCodeMeaning(code));
    runlog::Close();
    return code;
}

}  // namespace admin
