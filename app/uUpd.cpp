#include "app/uUpd.h"

#include "platform/Files.h"
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
    lbl_ThongBao->SetCaption(U("Thư mục ứng dụng:"));
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
    if (Radio1->Checked())
        InstallOrUpgrade();
    else
        Uninstall();
}

void TuUpd::InstallOrUpgrade() {}

// Removes the product's registration: the product executable (refused while it is in use), the
// product key and the two shortcuts. Everything else the install put on the machine stays.
void TuUpd::Uninstall() {
    const std::u16string refusal = U("Đóng tất cả các ứng dụng trước khi tháo dỡ");

    platform::RegKey net;
    if (net.Create(platform::RegRoot::LocalMachine, kNetworkParametersKey) == platform::kRegOk) {
        if (net.WriteDword(kMediaSenseValue, 1) != platform::kRegOk)
            throw ui::Exception(std::string("Failed to set data for '") + kMediaSenseValue + "'");
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
    if (platform::FileExists(exe) && !platform::RemoveFile(exe)) {
        ui::Application::Instance().ShowMessageBox(nullptr, refusal, U("Solvenza Accounting"),
                                                   ui::kMbOk | ui::kMbIconError);
        return;
    }

    platform::DeleteKeyTree(platform::RegRoot::LocalMachine, kProductKey);
    const std::string link = std::string("Solvenza Quillora") + platform::ShortcutExtension();
    std::string folder;
    if (platform::GetSpecialFolderPath(platform::kCsidlDesktop, folder))
        platform::RemoveFile(folder + "\\" + link);
    if (platform::GetSpecialFolderPath(platform::kCsidlPrograms, folder))
        platform::RemoveFile(folder + "\\Solvenza\\" + link);

    ui::Application::Instance().ShowMessageBox(nullptr, U("Đã tháo dỡ !!!"), U("Solvenza Quillora"),
                                               ui::kMbOk | ui::kMbIconInformation);
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
