#include "app/AdminRun.h"

#include "app/Report.h"
#include "app/RunLog.h"
#include "app/RunTemp.h"
#include "app/SilentBackend.h"
#include "app/Version.h"
#include "app/uUpd.h"
#include "platform/Console.h"
#include "platform/RunLock.h"
#include "platform/SystemVersion.h"
#include "platform/Text.h"

namespace admin {

namespace {

// How long a silent run waits for another run to end before it gives up.
constexpr unsigned kSilentWaitMs = 60 * 1000;

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
        // The name exactly as given, or refused: a best-fit letter could name another file.
        std::string path;
        if (options_.logFile.empty())
            path = runlog::DefaultPath();
        else if (!platform::TryUtf16ToAnsi(platform::Utf8ToUtf16(options_.logFile), path)) {
            EndWith("Tên tệp nhật ký " + options_.logFile + " có ký tự không dùng được trên máy này.",
                    kExitBadCommandLine);
            return;
        }
        const runlog::OpenResult opened = runlog::Open(path, logPath_);
        if (opened == runlog::OpenResult::kElsewhere) {
            EndWith("Tệp nhật ký " + runlog::FromAnsi(logPath_) +
                        " không nằm đúng chỗ đã ghi (một thư mục trên đường dẫn là liên kết tới "
                        "nơi khác). Hãy chọn tệp khác.",
                    kExitBadCommandLine);
            return;
        }
        if (opened == runlog::OpenResult::kFailed)
            platform::WriteStandardError(
                "Không ghi được nhật ký " +
                (path.empty() ? std::string("trong thư mục tạm") : runlog::FromAnsi(path)) + ".\n");
    }
    // The first line: which version ran, and how it was asked to.
    std::string line = "Setup_iVOX " SETUP_VERSION ", dòng lệnh:";
    for (const std::string& a : args) line += " " + a;
    runlog::Line(line);
    runlog::Line("Hệ điều hành: " + platform::SystemVersionText());
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
            EndWith(problem, kExitFolderUnusable);
            return;
        }
    }
    // One run at a time on the machine, from before the window recovers a killed run to the end:
    // a second run would take a live run's half-replaced files for a killed one's.
    const platform::RunLockResult lock = platform::TakeRunLock(options_.silent ? kSilentWaitMs : 0);
    if (lock == platform::RunLockResult::kBusy) {
        EndWith("Chương trình cài đặt đang chạy. Hãy đợi nó kết thúc rồi thử lại.", kExitAnotherRun);
        return;
    }
    if (lock == platform::RunLockResult::kFailed)
        runlog::Line("Không giữ được khoá một lần chạy; tiếp tục không có khoá.");
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

void Run::EndWith(const std::string& problem, int code) {
    runlog::Line(problem);
    if (options_.silent)
        platform::WriteStandardError(problem + "\n");
    else
        ShowReport(problem + "\n", true);
    runlog::SetExitCode(code);
    ended_ = true;
}

int Run::Finish() {
    const int code = runlog::ExitCode();
    runlog::Line("Kết thúc, mã thoát " + std::to_string(code) + ": " + ExitCodeMeaning(code));
    runlog::Close();
    // The run's temporary files go; a default log in their folder stays for the administrator.
    runtemp::Remove(logPath_);
    return code;
}

}  // namespace admin
