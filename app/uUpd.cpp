#include "app/uUpd.h"

#include <cstdio>

#include "app/CommandLine.h"
#include "app/Firewall.h"
#include "app/InstalledProgram.h"
#include "app/Payload.h"
#include "app/ProcessControl.h"
#include "app/RunLog.h"
#include "app/Shortcuts.h"
#include "platform/Files.h"
#include "platform/Launch.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
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

// The error box text: the file layer's creation error means a file of the product is in use (or
// the folder is missing), which the user fixes by closing the program; any other error speaks
// for itself. Messages are UTF-8; one that is not reads as nothing.
std::u16string ErrorText(const std::string& message) {
    if (platform::UpperAscii(message).find("CANNOT CREATE FILE") != std::string::npos)
        return U("Đóng ứng dụng Solvenza Accounting trước khi thực hiện nâng cấp.");
    std::u16string text;
    platform::TryUtf8ToUtf16(message, text);
    return text;
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
void LogTree(const archive::TZipBuilder& zip, const std::string& folder) {
    for (int32_t i = 0; runlog::IsOpen() && i < zip.Count(); ++i) {
        const archive::ZipDirEntry& e = zip.DirEntry(i);
        if (e.FileName.empty() || e.FileName.back() == '\\') continue;  // a folder
        char figures[64];
        std::snprintf(figures, sizeof figures, " (%lu byte, CRC %08lx)",
                      static_cast<unsigned long>(e.UnpackedSize),
                      static_cast<unsigned long>(e.Crc));
        runlog::Line("Ghi tệp " + runlog::FromAnsi(folder + "\\" + e.FileName) + figures);
    }
}

void Launch(const std::string& file, const std::string& folder) {
    const bool started = platform::LaunchHidden(file, folder);
    runlog::Line((started ? "Chạy " : "Không chạy được ") + runlog::FromAnsi(file));
}

// A registry step for the run's log.
void LogRegistry(const char* what, const std::string& key, const std::string& rest = "") {
    runlog::Line(std::string(what) + " HKLM\\" + runlog::FromAnsi(key + rest));
}

// The program's exit code for an install that stopped at this error.
int ExitCodeFor(const ui::Exception& e) {
    if (dynamic_cast<const PayloadError*>(&e)) return admin::kExitPayloadDamaged;
    // The close-the-program text: a file of the product is in use.
    if (ErrorText(e.Message()) == ErrorText("Cannot create file"))
        return admin::kExitProductRunning;
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
    if (key.Open(platform::RegRoot::LocalMachine, kProductKey) == platform::kRegOk) {
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
}

void TuUpd::Edit_AppPathExit(ui::Component&) {
    const std::u16string original = Edit_AppPath->Text();
    const std::string ansi = platform::Utf16ToAnsi(original);
    std::string text = ansi;
    const size_t n = original.size();
    for (size_t i = 0; i < n; ++i) {
        if (!text.empty() && text.back() == '\\') text.pop_back();
    }
    // A text without a trailing backslash is left exactly as typed.
    if (text.size() != ansi.size()) Edit_AppPath->SetText(platform::AnsiToUtf16(text));
}

void TuUpd::bt_NangCapClick(ui::Component&) {
    // Until the sequence reaches one of its ends: an error that escapes it ends the run here.
    runlog::SetExitCode(admin::kExitOtherFailure);
    runlog::Line(platform::Utf16ToUtf8((Radio1->Checked() ? Radio1 : Radio2)->Caption() + u": " +
                                       Edit_AppPath->Text()));
    if (Radio1->Checked())
        InstallOrUpgrade();
    else
        Uninstall();
}

// Installs or upgrades the product: the program files, the database server, the shortcuts, the
// recorded folder and the firewall rules; then it says so and closes the window. When the
// payload cannot be put in place the window comes back for another try.
void TuUpd::InstallOrUpgrade() {
    Edit_AppPath->Hide();
    ProgressBar1->SetPosition(0);
    ProgressBar1->Show();
    if (!ExtractPayload()) {
        lbl_ThongBao->SetCaption(U(kFolderPrompt));
        ProgressBar1->SetPosition(0);
        ProgressBar1->Hide();
        Edit_AppPath->Show();
        return;
    }
    ProgressBar1->SetPosition(100);
    CreateShortcutsAndSavePath();
    if (!installed::RegisterInstalledProduct(platform::Utf16ToAnsi(Edit_AppPath->Text()), this))
        return;
    AuthorizeFirewall(Edit_AppPath->Text());
    ui::Application::Instance().ShowMessageBox(this, U("Cài đặt hoàn tất !!!"), U(kCaption),
                                               ui::kMbOk | ui::kMbIconInformation);
    // The product's own background programs go only once the user has seen the result.
    for (const char* name : {"voxzbds.exe", "voxzbdc.exe"}) {
        if (FindRunningProcess(name) == kProcessRunning) StopRunningProcess(name);
    }
    runlog::SetExitCode(admin::kExitSuccess);
    Close();
}

// The product files out of the product archive, then the database server. False (after an
// error box) when any of it failed; the files already in place stay as they were or whole.
bool TuUpd::ExtractPayload() {
    const std::string archive = ZipBuilder1->MakeTempFileName("zip", "zip");
    payload::WriteArchiveResource(payload::kProductArchive, archive);
    const std::string system = platform::SystemFolder();
    ZipBuilder1->Clear();
    ZipBuilder1->SetFileName(archive);
    try {
        const std::string app = platform::Utf16ToAnsi(Edit_AppPath->Text());
        ExtractEntryToFile("ivoxcc.exe", app + "\\ivoxcc.exe");
        ProgressBar1->SetPosition(ProgressBar1->Position() + 1);
        ExtractEntryToFile("fb_gds32.dll", system + "\\gds32.dll");
        ProgressBar1->SetPosition(ProgressBar1->Position() + 1);
        // The station program runs from the file about to be replaced; it is ended first.
        if (FindRunningProcess("voxTram.exe") == kProcessRunning) StopRunningProcess("voxTram.exe");
        ExtractEntryToFile("voxTram.exe", app + "\\voxTram.exe");
        ProgressBar1->SetPosition(ProgressBar1->Position() + 1);
        InstallFirebird(app);
    } catch (const ui::Exception& e) {
        ui::Application::Instance().ShowMessageBox(this, ErrorText(e.Message()), U(kCaption),
                                                   ui::kMbOk | ui::kMbIconError);
        ProgressBar1->SetPosition(0);
        runlog::SetExitCode(ExitCodeFor(e));
        return false;
    }
    return true;
}

// One entry of the open archive to one file. An entry that did not come out is an error, and the
// file is replaced only by a complete new one, so a working program is never lost to a damaged
// payload, a wrong password or a full disk.
void TuUpd::ExtractEntryToFile(const std::string& entry, const std::string& destination) {
    ZipBuilder1->FSpecArgs().clear();
    ZipBuilder1->FSpecArgs().push_back(entry);
    archive::TZipStream* stream = ZipBuilder1->ExtractFileToStream("");
    if (!stream) throw NotExtracted(entry, ZipBuilder1->GetErrMessage());
    payload::ReplaceWholeFile(destination, stream->Memory(), static_cast<size_t>(stream->Size()));
}

// The server tree into the application folder, then its two installers, started hidden and not
// waited for.
void TuUpd::InstallFirebird(const std::string& folder) {
    const std::string archive = ZipBuilder1->MakeTempFileName("zip", "zip");
    payload::WriteArchiveResource(payload::kServerArchive, archive);
    ZipBuilder1->Clear();
    ZipBuilder1->SetFileName(archive);
    ZipBuilder1->FSpecArgs().clear();
    ZipBuilder1->ExtrBaseDir = folder;
    ZipBuilder1->ExtrOptions |=
        archive::ExtrOpt(archive::ExtrDirNames) | archive::ExtrOpt(archive::ExtrOverWrite);
    int32_t result = 0;
    std::string message;
    try {
        result = ZipBuilder1->Extract();
        message = ZipBuilder1->GetErrMessage();
        if (result == 0) LogTree(*ZipBuilder1, folder);
        ZipBuilder1->Clear();
    } catch (...) {
        ZipBuilder1->Clear();
        platform::RemoveFile(archive);
        throw;
    }
    platform::RemoveFile(archive);  // a copy left behind does no harm
    // Installers started on a tree that did not come out whole would install a broken server.
    if (result != 0) throw NotExtracted(kServerFolder, message);

    const std::string server = folder + "\\" + kServerFolder;
    const std::string bin = server + "\\bin\\";
    Launch(server + "\\bin\\install_super.bat", bin);
    Launch(server + "\\system32\\vccrt8_win32.msi", bin);
}

// The desktop and Programs-menu shortcuts to the product, then the folder in the product key.
void TuUpd::CreateShortcutsAndSavePath() {
    const std::string app = platform::Utf16ToAnsi(Edit_AppPath->Text());
    const std::string target = app + "\\ivoxcc.exe";
    CreateShortcutInSpecialFolder(Handle(), target, "", target, 0, kShortcutName,
                                  platform::kCsidlDesktop, true, nullptr);
    try {
        std::string programs;
        platform::GetSpecialFolderPath(platform::kCsidlPrograms, programs);
        platform::MakeFolder(programs + "\\Solvenza");  // it may exist already
        CreateShortcutInFolder(Handle(), target, "", target, 0, kShortcutName,
                               programs + "\\Solvenza", true, nullptr);
    } catch (const ui::Exception&) {
        CreateShortcutInSpecialFolder(Handle(), target, "", target, 0,
                                      std::string("Solvenza\\") + kShortcutName,
                                      platform::kCsidlPrograms, true, nullptr);
    }

    platform::RegKey key;
    if (key.Create(platform::RegRoot::LocalMachine, kProductKey) == platform::kRegOk) {
        if (key.WriteString(kAppPathValue, app) == platform::kRegOk)
            LogRegistry("Ghi registry", kProductKey,
                        std::string("\\") + kAppPathValue + " = " + app);
        key.Close();
    }
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
    if (product.Open(platform::RegRoot::LocalMachine, kProductKey) == platform::kRegOk) {
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

    if (platform::DeleteKeyTree(platform::RegRoot::LocalMachine, kProductKey) == platform::kRegOk)
        LogRegistry("Xoá khoá registry", kProductKey);
    installed::UnregisterInstalledProduct(platform::Utf16ToAnsi(Edit_AppPath->Text()));
    const std::string link = std::string("Solvenza Quillora") + platform::ShortcutExtension();
    std::string folder;
    if (platform::GetSpecialFolderPath(platform::kCsidlDesktop, folder) &&
        platform::RemoveFile(folder + "\\" + link))
        runlog::Line("Xoá lối tắt " + runlog::FromAnsi(folder + "\\" + link));
    if (platform::GetSpecialFolderPath(platform::kCsidlPrograms, folder) &&
        platform::RemoveFile(folder + "\\Solvenza\\" + link))
        runlog::Line("Xoá lối tắt " + runlog::FromAnsi(folder + "\\Solvenza\\" + link));

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
