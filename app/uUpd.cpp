#include "app/uUpd.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "app/CommandLine.h"
#include "app/Firewall.h"
#include "app/InstalledProgram.h"
#include "app/Payload.h"
#include "app/ProcessControl.h"
#include "app/RunAhead.h"
#include "app/RunLog.h"
#include "app/RunTemp.h"
#include "app/Shortcuts.h"
#include "archive/Ziputils.h"
#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/FindFiles.h"
#include "platform/Launch.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Protection.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "ui/Application.h"

namespace {

std::u16string U(const char* utf8) {
    return platform::Utf8ToUtf16(utf8);
}

// The payload archive's password, kept reversed so it does not stand in the program as it is.
constexpr const char kReversedArchivePassword[] = "0102#ar0ll1uQ";

const char* const kCaption = "Solvenza";
const char* const kFolderPrompt = "Thư mục ứng dụng:";
const char* const kServerFolder = "Firebird-2.1.1.1";
const char* const kShortcutName = "Solvenza Quillora";
const char* const kCloseTheProgram =
    "Đóng ứng dụng Solvenza Accounting trước khi thực hiện nâng cấp.";
// An earlier upgrade that was cut part way and could not be undone because a program runs from
// one of its files: a new upgrade over that mixed set waits until it is undone.
const char* const kEarlierNotUndone =
    "Không hoàn tác được lần nâng cấp trước vì có chương trình đang chạy. Hãy đóng ứng dụng "
    "Solvenza Accounting rồi thử lại.";
// The engine's error for a file it wrote completely but could not put in the place of the file
// there, which a running program holds.
constexpr int32_t kEngineReplaceFailed = DZ_ERROR_REPLACE;

// The engine's errors for a file of the tree that could not be written where it belongs: its
// folder could not be made, the file could not be created, its data did not fit (a full disk),
// or the file there refuses to be replaced without a program holding it.
bool IsEngineWriteFailure(int32_t error) {
    return error == DZ_ERROR_CREATE_FOLDER || error == DZ_ERROR_CREATE_FILE || error == DZ_ERROR_WRITE ||
           error == DZ_ERROR_REPLACE_REFUSED;
}
// How long a stopped program may take to end before its file is replaced anyway.
constexpr auto kStopWait = std::chrono::seconds(5);

// "Text %s." with the Windows path (ANSI) in place of %s.
std::u16string WithPath(const char* before, const std::string& path, const char* after) {
    return U(before) + platform::AnsiToUtf16(path) + U(after);
}

// The error box text: a file the file layer could not create means a file of the product is in
// use (or the folder is missing), which the user fixes by closing the program; a file it could
// not write at all is named; any other error speaks for itself. Messages are UTF-8; one that is
// not reads as nothing.
std::u16string ErrorText(const ui::Exception& e) {
    if (const auto* write = dynamic_cast<const payload::FileWriteError*>(&e);
        write && !write->InUse())
        return WithPath("Không ghi được tệp ", write->Path(), ".");
    if (platform::UpperAscii(e.Message()).find("CANNOT CREATE FILE") != std::string::npos)
        return U(kCloseTheProgram);
    std::u16string text;
    platform::TryUtf8ToUtf16(e.Message(), text);
    return text;
}

// Stops the program that runs from the folder's file and waits, a few seconds at most, until it
// has really ended: ending a process takes a moment, and its file cannot be replaced while the
// process still holds it.
void StopAndWaitForEnd(const char* name, const std::string& folder) {
    StopRunningProcess(name, folder);
    const auto until = std::chrono::steady_clock::now() + kStopWait;
    while (FindRunningProcess(name, folder) == kProcessRunning &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

// The engine writes each file of the tree under a name of its own ("~dz" and a number, ".tmp")
// before the file takes its place; a killed run leaves such a file behind.
bool IsEngineTemp(const std::string& name) {
    if (name.size() < 8 || name.compare(0, 3, "~dz") != 0) return false;
    return platform::UpperAscii(name.substr(name.size() - 4)) == ".TMP";
}

// The extraction's probe of its base folder (whether a file can be made there): "tmp", one to
// four hexadecimal digits and ".TMP", as the system makes its temporary names. A run killed
// between the probe's creation and its deletion leaves it, empty, in the application folder.
bool IsFolderProbe(const std::string& name) {
    if (name.size() < 8 || name.size() > 11 || !platform::SameTextAscii(name.substr(0, 3), "tmp") ||
        platform::UpperAscii(name.substr(name.size() - 4)) != ".TMP")
        return false;
    for (size_t i = 3; i + 4 < name.size(); ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    return true;
}

// True for an empty plain file at the path.
bool IsEmptyFile(const std::string& path) {
    platform::FileAttributes a;
    return platform::ReadFileAttributes(path, a) && !a.directory && platform::FileSizeAt(path) == 0;
}

// True for a full Windows path: a drive ("C:", "C:\Apps") or a network share ("\\server\share").
bool IsFullPath(const std::string& path) {
    const std::string drive = platform::PathDrive(path);
    return !drive.empty() && (path.size() == drive.size() || path[drive.size()] == '\\');
}

// A part of the payload that did not come out of its archive: the payload itself is bad.
class PayloadError : public ui::Exception {
public:
    using ui::Exception::Exception;
};

// The error for a payload part that did not come out of its archive, with the component's own
// account of why when it has one.
PayloadError NotExtracted(const std::string& what, const std::string& componentMessage) {
    std::string text = "Không giải nén được " + what + " từ gói cài đặt.";
    if (!componentMessage.empty())
        text += "\n" + platform::Utf16ToUtf8(platform::AnsiToUtf16(componentMessage));
    return PayloadError(text);
}

// The run's log: the files of the server tree as their entries say they came out (the engine
// checked each against its size and CRC).
// Files kept because they were in use were logged as such.
void LogTree(const archive::TZipBuilder& zip, const std::string& folder,
             const std::vector<std::string>& kept) {
    const auto wasKept = [&](const std::string& name) {
        for (const std::string& k : kept)
            if (k.size() >= name.size() &&
                platform::SameTextAscii(k.substr(k.size() - name.size()), name))
                return true;
        return false;
    };
    for (int32_t i = 0; runlog::IsOpen() && i < zip.Count(); ++i) {
        const archive::ZipDirEntry& e = zip.DirEntry(i);
        if (e.FileName.empty() || e.FileName.back() == '\\') continue;  // a folder
        if (wasKept(e.FileName)) continue;
        char figures[64];
        std::snprintf(figures, sizeof figures, " (%lu byte, CRC %08lx)",
                      static_cast<unsigned long>(e.UnpackedSize),
                      static_cast<unsigned long>(e.Crc));
        runlog::Line("Ghi tệp " + runlog::FromAnsi(folder + "\\" + e.FileName) + figures);
    }
}

// Writes the archive resource to a new file of the run's own temporary folder: its path. Raises
// FileWriteError "Cannot write file <path>" when the file cannot be made or written whole.
std::string WriteRunArchive(const std::string& resource) {
    const std::string folder = runtemp::Folder();
    if (folder.empty()) throw payload::FileWriteError(false, platform::TempFolder());
    const std::string path = folder + resource + ".zip";
    payload::WriteArchiveResource(resource, path);
    return path;
}

// The server tree's folder, closed to users before anything is written into it: a new one is
// made with the protected list (what the engine makes inside takes it on); one from an earlier
// install gets the list on itself and everything in it. A link anywhere in it is refused, so
// nothing is written through one.
void ProtectServerTree(const std::string& server) {
    platform::FileAttributes a;
    if (!platform::ReadFileAttributes(server, a)) {
        if (!platform::MakeProtectedFolder(server)) throw payload::FileWriteError(false, server);
        return;
    }
    std::string failed;
    if (a.link || !a.directory) throw payload::FileWriteError(false, server);
    if (!platform::ProtectTree(server, failed)) throw payload::FileWriteError(false, failed);
}

// Starts the files hidden, one after the other, in `folder`: each file and whether it started.
std::vector<std::pair<std::string, bool>> LaunchAll(const std::vector<std::string>& files,
                                                    const std::string& folder) {
    std::vector<std::pair<std::string, bool>> started;
    for (const std::string& file : files)
        started.emplace_back(file, platform::LaunchHidden(file, folder));
    return started;
}

// A registry step for the run's log.
void LogRegistry(const char* what, const std::string& key, const std::string& rest = "") {
    runlog::Line(std::string(what) + " HKLM\\" + runlog::FromAnsi(key + rest));
}

// The program's exit code for an install that stopped at this error.
int ExitCodeFor(const ui::Exception& e) {
    if (dynamic_cast<const PayloadError*>(&e)) return admin::kExitPayloadDamaged;
    // The close-the-program text: a file of the product is in use.
    if (ErrorText(e) == U(kCloseTheProgram)) return admin::kExitProductRunning;
    return admin::kExitOtherFailure;
}

}  // namespace

TuUpd::TuUpd() : ui::Form("TuUpd") {
    archive::RegisterZipBuilderClass();
}

void TuUpd::RegisterHandlers(ui::HandlerTable& t) {
    using namespace std::placeholders;
    t.Add<ui::NotifyEvent>("TntFormCreate", [this](ui::Component& s) { TntFormCreate(s); });
    t.Add<ui::NotifyEvent>("TntFormDestroy", [this](ui::Component& s) { TntFormDestroy(s); });
    t.Add<ui::CloseEvent>("TntFormClose",
                          [this](ui::Component& s, ui::CloseAction& a) { TntFormClose(s, a); });
    t.Add<ui::NotifyEvent>("Edit_AppPathExit", [this](ui::Component& s) { Edit_AppPathExit(s); });
    t.Add<ui::NotifyEvent>("bt_NangCapClick", [this](ui::Component& s) { bt_NangCapClick(s); });
    t.Add<ui::NotifyEvent>("Btn_DongClick", [this](ui::Component& s) { Btn_DongClick(s); });
    t.Add<archive::TZipMessageEvent>("ZipBuilder1Message",
                                     [this](ui::Component* s, int32_t code, const std::string& m) {
                                         ZipBuilder1Message(s, code, m);
                                     });
    t.Add<archive::TZipPasswordErrorEvent>(
        "ZipBuilder1PasswordError",
        [this](ui::Component* s, bool isZip, std::string& pw, const std::string& file,
               uint32_t& repeat, archive::TMsgDlgBtn& action) {
            ZipBuilder1PasswordError(s, isZip, pw, file, repeat, action);
        });
}

void TuUpd::Loaded() {
    lbl_ThongBao = Find<ui::Label>("lbl_ThongBao");
    Bevel1 = Find<ui::Bevel>("Bevel1");
    Label5 = Find<ui::Label>("Label5");
    Bevel2 = Find<ui::Bevel>("Bevel2");
    Edit_AppPath = Find<ui::Edit>("Edit_AppPath");
    ProgressBar1 = Find<ui::ProgressBar>("ProgressBar1");
    Panel2 = Find<ui::Panel>("Panel2");
    lbl_QuanLyUngDung = Find<ui::Label>("lbl_QuanLyUngDung");
    lbl_ChonLuaCacMuc = Find<ui::Label>("lbl_ChonLuaCacMuc");
    Label1 = Find<ui::Label>("Label1");
    Image2 = Find<ui::Image>("Image2");
    bt_NangCap = Find<ui::Button>("bt_NangCap");
    bt_Dong = Find<ui::Button>("bt_Dong");
    Radio1 = Find<ui::RadioButton>("Radio1");
    Radio2 = Find<ui::RadioButton>("Radio2");
    ZipBuilder1 = Find<archive::TZipBuilder>("ZipBuilder1");
}

void TuUpd::TntFormCreate(ui::Component&) {
    SetCaption(Caption() + platform::Utf8ToUtf16(std::to_string(Tag())));

    lbl_QuanLyUngDung->SetCaption(U("Quản lý ứng dụng"));
    lbl_ChonLuaCacMuc->SetCaption(U("Chọn lựa các mục thích hợp để thi hành"));
    lbl_ThongBao->SetCaption(U(kFolderPrompt));
    Label5->SetCaption(U("Công ty Cổ phần Solvenza Việt nam"));
    bt_Dong->SetCaption(U("Đóng"));
    bt_NangCap->SetCaption(U("Thực hiện"));

    platform::RegKey key;
    if (key.Open(platform::RegRoot::LocalMachine, kProductKey, false, kProductView) ==
        platform::kRegOk) {
        std::string path;
        key.ReadString(kAppPathValue, path);  // a missing value reads as the empty text
        Edit_AppPath->SetText(platform::AnsiToUtf16(path));
        Radio1->SetCaption(U("Nâng cấp"));
        Radio2->SetEnabled(true);
        key.Close();
    } else {
        Radio1->SetCaption(U("Cài đặt"));
        Radio2->SetEnabled(false);
    }
    if (Edit_AppPath->Text().empty()) Edit_AppPath->SetText(platform::AnsiToUtf16(kDefaultFolder));
    Radio2->SetCaption(U("Tháo dỡ"));
    // An install that was killed part way is undone before the user sees the window.
    std::string folder;
    if (platform::TryUtf16ToAnsi(Edit_AppPath->Text(), folder)) RecoverInterruptedRun(folder);
}

// Trailing backslashes off. The text stays UTF-16: going through the ANSI code page would turn
// every letter that it cannot hold into "?" in the field itself.
void TuUpd::Edit_AppPathExit(ui::Component&) {
    std::u16string text = Edit_AppPath->Text();
    const size_t n = text.size();
    while (!text.empty() && text.back() == u'\\') text.pop_back();
    // A text without a trailing backslash is left exactly as typed.
    if (text.size() != n) Edit_AppPath->SetText(text);
}

void TuUpd::bt_NangCapClick(ui::Component&) {
    // The buttons are disabled while a sequence runs; this also stops a press that reaches the
    // handler some other way (the Enter key) from starting a second run inside the first.
    if (busy_) return;
    // Until the sequence reaches one of its ends: an error that escapes it ends the run here.
    runlog::SetExitCode(admin::kExitOtherFailure);
    runlog::Line(platform::Utf16ToUtf8((Radio1->Checked() ? Radio1 : Radio2)->Caption() + u": " +
                                       Edit_AppPath->Text()));
    SetBusy(true);
    try {
        if (Radio1->Checked())
            InstallOrUpgrade();
        else
            Uninstall();
    } catch (...) {
        SetBusy(false);
        throw;
    }
    SetBusy(false);
}

void TuUpd::SetBusy(bool busy) {
    busy_ = busy;
    if (busy) radio2WasEnabled_ = Radio2->Enabled();
    for (ui::Control* c : std::initializer_list<ui::Control*>{bt_NangCap, bt_Dong, Radio1})
        c->SetEnabled(!busy);
    Radio2->SetEnabled(!busy && radio2WasEnabled_);
}

void TuUpd::ShowError(const std::u16string& text) {
    ui::Application::Instance().ShowMessageBox(this, text, U(kCaption),
                                               ui::kMbOk | ui::kMbIconError);
}

bool TuUpd::PrepareAppFolder() {
    std::u16string field = Edit_AppPath->Text();
    while (!field.empty() && field.back() == u'\\') field.pop_back();
    // The same check as the command line's /DIR.
    const std::string problem = admin::FolderProblem(field);
    if (!problem.empty()) {
        ShowError(platform::Utf8ToUtf16(problem));
        return false;
    }
    if (!platform::TryUtf16ToAnsi(field, appFolder_)) {
        ShowError(U("Tên thư mục có ký tự không dùng được trên máy này. Hãy chọn thư mục khác."));
        return false;
    }
    if (!IsFullPath(appFolder_) || !archive::ForceDirectory(appFolder_)) {
        ShowError(U("Không tạo được thư mục ứng dụng ") + field + U("."));
        return false;
    }
    return true;
}

// Installs or upgrades the product: the program files, the database server, the shortcuts, the
// recorded folder and the firewall rules; then it says so and closes the window. When the
// payload cannot be put in place the window comes back for another try.
void TuUpd::InstallOrUpgrade() {
    Edit_AppPath->Hide();
    ProgressBar1->SetPosition(0);
    ProgressBar1->Show();
    const auto restore = [this] {
        LogInstallers();
        installed::DropSetupCopy(setupCopy_, appFolder_);
        lbl_ThongBao->SetCaption(U(kFolderPrompt));
        ProgressBar1->SetPosition(0);
        ProgressBar1->Hide();
        Edit_AppPath->Show();
    };
    if (!ExtractPayload()) {
        restore();
        return;
    }
    ProgressBar1->SetPosition(100);
    if (!CreateShortcutsAndSavePath() ||
        !installed::RegisterInstalledProduct(appFolder_, installedBytes_, this, setupCopy_)) {
        restore();
        return;
    }
    AuthorizeFirewall(platform::AnsiToUtf16(appFolder_));
    LogInstallers();
    ui::Application::Instance().ShowMessageBox(this, U("Cài đặt hoàn tất !!!"), U(kCaption),
                                               ui::kMbOk | ui::kMbIconInformation);
    // The product's own background programs go only once the user has seen the result; only
    // those that run from the application folder are the product's.
    for (const char* name : {"voxzbds.exe", "voxzbdc.exe"}) {
        if (FindRunningProcess(name, appFolder_) == kProcessRunning)
            StopRunningProcess(name, appFolder_);
    }
    runlog::SetExitCode(admin::kExitSuccess);
    Close();
}

// The product files out of the product archive, then the database server. False (after an
// error box) when any of it failed; the files already in place stay as they were or whole.
bool TuUpd::ExtractPayload() {
    installedBytes_ = 0;
    // The program's own file is copied into the folder last, as the uninstaller: a file that
    // cannot be read stops the install here, before anything is written.
    if (!installed::CheckSetupProgramReadable(this)) {
        ProgressBar1->SetPosition(0);
        return false;
    }
    // The folder is checked and made before anything is written.
    if (!PrepareAppFolder()) {
        ProgressBar1->SetPosition(0);
        runlog::SetExitCode(admin::kExitFolderUnusable);
        return false;
    }
    // A run that was killed part way is undone first: its files get their old content back and
    // its temporary files go.
    if (!RecoverInterruptedRun(appFolder_)) {
        ShowError(U(kEarlierNotUndone));
        ProgressBar1->SetPosition(0);
        runlog::SetExitCode(admin::kExitProductRunning);
        return false;
    }
    // The client library is a 32-bit library for the 32-bit product: it goes where 32-bit
    // programs look for theirs.
    const std::string system = platform::SystemFolder32();
    std::string archive;
    try {
        archive = WriteRunArchive(payload::kProductArchive);
        // The carried engine is written out into the run's folder too.
        const std::string temp = runtemp::Folder();
        ZipBuilder1->TempDir = temp.substr(0, temp.size() - 1);
        ZipBuilder1->Clear();
        ZipBuilder1->SetFileName(archive);
        const std::string& app = appFolder_;
        // All three files out of the archive and checked first: a damaged entry or a wrong
        // password stops the sequence before any file of the installed version is touched.
        std::vector<payload::FileToPlace> files = {
            {app + "\\ivoxcc.exe", ""}, {system + "\\gds32.dll", ""}, {app + "\\voxTram.exe", ""}};
        const char* const entries[] = {"ivoxcc.exe", "fb_gds32.dll", "voxTram.exe"};
        for (size_t i = 0; i < files.size(); ++i) {
            files[i].bytes = ExtractEntry(entries[i]);
            installedBytes_ += files[i].bytes.size();
            ProgressBar1->SetPosition(ProgressBar1->Position() + 1);
        }
        // Then the three replace the installed ones together, or none does. The station
        // program runs from its file; it is ended just before that file is replaced.
        payload::ReplaceFileSet(files, app, [&app](size_t i) {
            if (i == 2 && FindRunningProcess("voxTram.exe", app) == kProcessRunning)
                StopAndWaitForEnd("voxTram.exe", app);
        });
        // The programs that run elevated or as the user: only administrators may change them.
        for (const char* name : {"ivoxcc.exe", "voxTram.exe"})
            if (!platform::ProtectFile(app + "\\" + name))
                throw payload::FileWriteError(false, app + "\\" + name);
        ZipBuilder1->Clear();
        platform::RemoveFile(archive);
        archive.clear();
        // The entries' bytes (tens of MB) are on the disk now; the server tree needs the memory.
        std::vector<payload::FileToPlace>().swap(files);
        // The uninstaller copy is written while the server tree comes out on this thread.
        setupCopy_ = installed::StartSetupCopy(app);
        InstallFirebird(app);
    } catch (const ui::Exception& e) {
        if (!archive.empty()) {
            ZipBuilder1->Clear();
            platform::RemoveFile(archive);
        }
        ShowError(ErrorText(e));
        ProgressBar1->SetPosition(0);
        runlog::SetExitCode(ExitCodeFor(e));
        return false;
    }
    return true;
}

// One entry of the open archive, whole and as it was stored: the engine checked its content
// against the recorded CRC as it came out (an entry that fails that does not come out). An
// entry that did not come out, or not of its recorded size, is an error.
std::string TuUpd::ExtractEntry(const std::string& entry) {
    ZipBuilder1->FSpecArgs().clear();
    ZipBuilder1->FSpecArgs().push_back(entry);
    archive::TZipStream* stream = ZipBuilder1->ExtractFileToStream("");
    if (!stream) throw NotExtracted(entry, ZipBuilder1->GetErrMessage());
    // The entry's bytes are handed on as they are, not copied: the largest is tens of MB.
    std::string bytes = stream->TakeBytes();
    const archive::ZipDirEntry* stored = nullptr;
    for (int32_t i = 0; i < ZipBuilder1->Count() && !stored; ++i)
        if (platform::SameTextAscii(ZipBuilder1->DirEntry(i).FileName, entry))
            stored = &ZipBuilder1->DirEntry(i);
    if (!stored || stored->UnpackedSize != bytes.size())
        throw NotExtracted(entry, "");
    return bytes;
}

// Undoes what a killed run left in the folder and the system folder: the product files it had
// begun to replace get their old content back, and every temporary file of ours goes, the
// engine's in the server tree and the extraction's empty folder probe too. Only the three product files of this folder are ever put
// back. False when one of them could not be (a program runs from it): its copy and the journal
// stay for the next start.
bool TuUpd::RecoverInterruptedRun(const std::string& folder) {
    const payload::Recovery recovery = payload::RecoverInterruptedReplace(
        folder, {folder + "\\ivoxcc.exe", platform::SystemFolder32() + "\\gds32.dll",
                 folder + "\\voxTram.exe"});
    if (recovery == payload::Recovery::kTargetHeld) return false;
    for (const std::string& name : platform::FindFiles(folder + "\\tmp*.TMP")) {
        const std::string path = folder + "\\" + name;
        if (IsFolderProbe(name) && IsEmptyFile(path) && platform::RemoveFile(path))
            runlog::Line("Xoá tệp " + runlog::FromAnsi(path));
    }
    // Only plain files of ours go, and no link is entered: a link (or a loop of them) in the tree
    // cannot lead the walk elsewhere or hold it up.
    std::vector<std::string> pending = {folder + "\\" + kServerFolder};
    platform::FileAttributes root;
    if (!platform::ReadFileAttributes(pending.back(), root) || root.link || !root.directory)
        pending.clear();
    while (!pending.empty()) {
        const std::string dir = pending.back();
        pending.pop_back();
        for (const std::string& name : platform::FindFiles(dir + "\\*")) {
            const std::string path = dir + "\\" + name;
            platform::FileAttributes a;
            if (!platform::ReadFileAttributes(path, a) || a.link) continue;
            if (a.directory)
                pending.push_back(path);
            else if (IsEngineTemp(name))
                platform::RemoveFile(path);
        }
    }
    return true;
}

// The server tree into the application folder, then its two installers, started hidden and not
// waited for.
void TuUpd::InstallFirebird(const std::string& folder) {
    const std::string server = folder + "\\" + kServerFolder;
    ProtectServerTree(server);
    const std::string archive = WriteRunArchive(payload::kServerArchive);
    ZipBuilder1->Clear();
    ZipBuilder1->SetFileName(archive);
    ZipBuilder1->FSpecArgs().clear();
    ZipBuilder1->ExtrBaseDir = folder;
    ZipBuilder1->ExtrOptions |=
        archive::ExtrOpt(archive::ExtrDirNames) | archive::ExtrOpt(archive::ExtrOverWrite);
    // A file of the tree that a running server holds cannot be replaced; its whole copy from the
    // earlier install stays. A file that could not be written (a full disk, a refused write) is
    // named; any other reason to skip a file means the archive is damaged.
    std::vector<std::string> kept, keptFiles;
    bool otherSkips = false;
    std::string notWritten;  // the first file that could not be written, as a Windows path
    const archive::TZipExtractSkippedEvent previous = ZipBuilder1->GetOnExtractSkipped();
    ZipBuilder1->SetOnExtractSkipped(
        [&](ui::Component*, const std::string& file, archive::UnZipSkipTypes, int32_t error) {
            if (error == kEngineReplaceFailed) {
                kept.push_back(platform::PathFileName(file));
                keptFiles.push_back(file);
                runlog::Line("Giữ tệp đang dùng " + runlog::FromAnsi(file));
            } else if (IsEngineWriteFailure(error)) {
                std::string path = file;
                std::replace(path.begin(), path.end(), '/', '\\');
                if (!IsFullPath(path)) path = folder + "\\" + path;
                runlog::Line("Không ghi được tệp " + runlog::FromAnsi(path) + " (lỗi " +
                             std::to_string(error) + ")");
                if (notWritten.empty()) notWritten = path;
            } else
                otherSkips = true;
        });
    int32_t result = 0;
    std::string message;
    try {
        result = ZipBuilder1->Extract();
        message = ZipBuilder1->GetErrMessage();
        ZipBuilder1->SetOnExtractSkipped(previous);
        if (result == 0 || (!otherSkips && notWritten.empty() && !kept.empty()))
            LogTree(*ZipBuilder1, folder, keptFiles);
        for (int32_t i = 0; i < ZipBuilder1->Count(); ++i)
            installedBytes_ += ZipBuilder1->DirEntry(i).UnpackedSize;
        ZipBuilder1->Clear();
    } catch (...) {
        ZipBuilder1->SetOnExtractSkipped(previous);
        ZipBuilder1->Clear();
        platform::RemoveFile(archive);
        throw;
    }
    platform::RemoveFile(archive);  // a copy left behind does no harm
    // Installers started on a tree that did not come out whole would install a broken server.
    // A damaged archive says so first: writing elsewhere would not mend it.
    if (result != 0 && otherSkips) throw NotExtracted(kServerFolder, message);
    if (!notWritten.empty()) throw payload::FileWriteError(false, notWritten);
    if (result != 0 && kept.empty()) throw NotExtracted(kServerFolder, message);
    if (!kept.empty()) {
        std::string names;
        for (const std::string& name : kept) names += (names.empty() ? "" : ", ") + name;
        lbl_ThongBao->SetCaption(U("Giữ nguyên các tệp đang dùng: ") +
                                 platform::AnsiToUtf16(names));
    }

    // Its programs run as a service and its installers elevated: what came out is closed to
    // users before they start. The tree was closed before extraction (what an earlier install
    // left open too); where new files take its list on, what came out has it already.
    std::string failed;
    if (!platform::NewFilesTakeFolderProtection() && !platform::ProtectTree(server, failed))
        throw payload::FileWriteError(false, failed);
    // Started on a thread of their own: the shell takes a while to start a program, and the
    // shortcuts and the registry need not wait for it. Without a thread, here and now.
    const std::string bin = server + "\\bin\\";
    const std::vector<std::string> installers = {server + "\\bin\\install_super.bat",
                                                 server + "\\system32\\vccrt8_win32.msi"};
    installers_ = RunAhead([installers, bin] { return LaunchAll(installers, bin); });
}

void TuUpd::LogInstallers() {
    if (!installers_.valid()) return;
    for (const auto& [file, started] : installers_.get())
        runlog::Line((started ? "Chạy " : "Không chạy được ") + runlog::FromAnsi(file));
}

// The desktop and Programs-menu shortcuts to the product, then the folder in the product key.
// False after an error box when the folder could not be recorded: the next run would not find
// the installation.
bool TuUpd::CreateShortcutsAndSavePath() {
    const std::string& app = appFolder_;
    const std::string target = app + "\\ivoxcc.exe";
    // Elevated (an IT account typed into the prompt, or SYSTEM under a deployment tool), the
    // shortcuts go to the all-users folders, since nobody who uses the PC sees that account's
    // own. A shortcut of that name that the user already has is found first and left alone:
    // the desktop's view holds the user's items and the all-users ones.
    const bool allUsers = platform::ShortcutsForAllUsers();
    const int programsFolder = allUsers ? platform::kCsidlCommonPrograms : platform::kCsidlPrograms;
    if (!allUsers || CreateShortcutInSpecialFolder(Handle(), target, "", target, 0, kShortcutName,
                                                   platform::kCsidlDesktop, false, nullptr)
                         .empty())
        CreateShortcutInSpecialFolder(
            Handle(), target, "", target, 0, kShortcutName,
            allUsers ? platform::kCsidlCommonDesktopDirectory : platform::kCsidlDesktop, true,
            nullptr);
    try {
        std::string programs;
        const bool usersOwn =
            allUsers && platform::GetSpecialFolderPath(platform::kCsidlPrograms, programs) &&
            !CreateShortcutInFolder(Handle(), target, "", target, 0, kShortcutName,
                                    programs + "\\Solvenza", false, nullptr)
                 .empty();
        if (!usersOwn) {
            platform::GetSpecialFolderPath(programsFolder, programs);
            platform::MakeFolder(programs + "\\Solvenza");  // it may exist already
            CreateShortcutInFolder(Handle(), target, "", target, 0, kShortcutName,
                                   programs + "\\Solvenza", true, nullptr);
        }
    } catch (const ui::Exception&) {
        CreateShortcutInSpecialFolder(Handle(), target, "", target, 0,
                                      std::string("Solvenza\\") + kShortcutName, programsFolder,
                                      true, nullptr);
    }

    platform::RegKey key;
    if (key.Create(platform::RegRoot::LocalMachine, kProductKey, kProductView) !=
            platform::kRegOk ||
        key.WriteString(kAppPathValue, app) != platform::kRegOk) {
        ShowError(U("Không ghi được thư mục ứng dụng vào registry."));
        return false;
    }
    LogRegistry("Ghi registry", kProductKey, std::string("\\") + kAppPathValue + " = " + app);
    key.Close();
    return true;
}

// Removes the product's registration: the product executable (refused while it is in use), the
// product key and the two shortcuts. Everything else the install put on the machine stays.
void TuUpd::Uninstall() {
    const std::u16string refusal = U("Đóng tất cả các ứng dụng trước khi tháo dỡ");

    platform::RegKey net;
    if (net.Create(platform::RegRoot::LocalMachine, kNetworkParametersKey) == platform::kRegOk) {
        if (net.WriteDword(kMediaSenseValue, 1) != platform::kRegOk)
            throw ui::Exception(std::string("Failed to set data for '") + kMediaSenseValue + "'");
        LogRegistry("Ghi registry", kNetworkParametersKey,
                    std::string("\\") + kMediaSenseValue + " = 1");
        net.Close();
    }

    platform::RegKey product;
    if (product.Open(platform::RegRoot::LocalMachine, kProductKey, false, kProductView) ==
        platform::kRegOk) {
        std::string path;
        product.ReadString(kAppPathValue, path);
        Edit_AppPath->SetText(platform::AnsiToUtf16(path));
        product.Close();
    }

    const std::string exe = platform::Utf16ToAnsi(Edit_AppPath->Text() + u"\\ivoxcc.exe");
    const bool there = platform::FileExists(exe);
    if (there && !platform::RemoveFile(exe)) {
        ui::Application::Instance().ShowMessageBox(nullptr, refusal, U("Solvenza Accounting"),
                                                   ui::kMbOk | ui::kMbIconError);
        runlog::SetExitCode(admin::kExitProductRunning);
        return;
    }
    if (there) runlog::Line("Xoá tệp " + runlog::FromAnsi(exe));

    if (platform::DeleteKeyTree(platform::RegRoot::LocalMachine, kProductKey, kProductView) ==
        platform::kRegOk)
        LogRegistry("Xoá khoá registry", kProductKey);
    installed::UnregisterInstalledProduct(platform::Utf16ToAnsi(Edit_AppPath->Text()));
    const std::string link = std::string("Solvenza Quillora") + platform::ShortcutExtension();
    // The user's shortcuts and the all-users ones, whichever an install made.
    const struct {
        int csidl;
        const char* below;
    } places[] = {{platform::kCsidlDesktop, "\\"},
                  {platform::kCsidlCommonDesktopDirectory, "\\"},
                  {platform::kCsidlPrograms, "\\Solvenza\\"},
                  {platform::kCsidlCommonPrograms, "\\Solvenza\\"}};
    for (const auto& place : places) {
        std::string folder;
        if (platform::GetSpecialFolderPath(place.csidl, folder) &&
            platform::RemoveFile(folder + place.below + link))
            runlog::Line("Xoá lối tắt " + runlog::FromAnsi(folder + place.below + link));
    }

    ui::Application::Instance().ShowMessageBox(nullptr, U("Đã tháo dỡ !!!"), U("Solvenza Quillora"),
                                               ui::kMbOk | ui::kMbIconInformation);
    runlog::SetExitCode(admin::kExitSuccess);
    Close();
}

void TuUpd::ZipBuilder1Message(ui::Component*, int32_t, const std::string& Message) {
    lbl_ThongBao->SetCaption(platform::AnsiToUtf16(Message));
}

void TuUpd::ZipBuilder1PasswordError(ui::Component*, bool, std::string& NewPassword,
                                     const std::string&, uint32_t&, archive::TMsgDlgBtn&) {
    const std::string reversed = kReversedArchivePassword;
    NewPassword.assign(reversed.rbegin(), reversed.rend());
}

void TuUpd::Btn_DongClick(ui::Component&) {
    Close();
}

void TuUpd::TntFormClose(ui::Component&, ui::CloseAction& action) {
    action = ui::CloseAction::Free;
}

void TuUpd::TntFormDestroy(ui::Component&) {
    // The window holds nothing beyond its components, which the form frees with itself.
}
