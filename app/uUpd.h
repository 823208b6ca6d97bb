// The setup window: the program's one form. It learns from the registry whether the product is
// installed, offers install-or-upgrade and uninstall, and keeps the application folder field.
#pragma once

#include <future>
#include <string>
#include <utility>
#include <vector>

#include "archive/ZipBuilder.h"
#include "platform/Registry.h"
#include "ui/Form.h"

class TuUpd : public ui::Form {
public:
    TuUpd();

    // The product key that records an installed product.
    static constexpr const char* kProductKey = "SoftWare\\Solvenza Corp\\ERP\\Quillora";
    static constexpr const char* kAppPathValue = "AppPath";
    static constexpr const char* kDefaultFolder = "C:\\Solvenza";
    // The product is a 32-bit program: its key lives in the 32-bit view of the registry.
    static constexpr platform::RegView kProductView = platform::RegView::Wow32;
    // The network parameter the uninstall sets.
    static constexpr const char* kNetworkParametersKey =
        "System\\CurrentControlSet\\Services\\Tcpip\\Parameters";
    static constexpr const char* kMediaSenseValue = "DisableDHCPMediaSense";

    ui::Label* lbl_ThongBao = nullptr;
    ui::Bevel* Bevel1 = nullptr;
    ui::Label* Label5 = nullptr;
    ui::Bevel* Bevel2 = nullptr;
    ui::Edit* Edit_AppPath = nullptr;
    ui::ProgressBar* ProgressBar1 = nullptr;
    ui::Panel* Panel2 = nullptr;
    ui::Label* lbl_QuanLyUngDung = nullptr;
    ui::Label* lbl_ChonLuaCacMuc = nullptr;
    ui::Label* Label1 = nullptr;
    ui::Image* Image2 = nullptr;
    ui::Button* bt_NangCap = nullptr;
    ui::Button* bt_Dong = nullptr;
    ui::RadioButton* Radio1 = nullptr;
    ui::RadioButton* Radio2 = nullptr;
    archive::TZipBuilder* ZipBuilder1 = nullptr;

    void TntFormCreate(ui::Component& sender);
    void Edit_AppPathExit(ui::Component& sender);
    void bt_NangCapClick(ui::Component& sender);
    void Btn_DongClick(ui::Component& sender);
    void TntFormClose(ui::Component& sender, ui::CloseAction& action);
    void TntFormDestroy(ui::Component& sender);
    // The archive component's events: its messages go to the status line; every password
    // request is answered with the payload archive's password.
    void ZipBuilder1Message(ui::Component* Sender, int32_t ErrCode, const std::string& Message);
    void ZipBuilder1PasswordError(ui::Component* Sender, bool IsZipAction, std::string& NewPassword,
                                  const std::string& ForFile, uint32_t& RepeatCount,
                                  archive::TMsgDlgBtn& Action);

protected:
    void RegisterHandlers(ui::HandlerTable& table) override;
    void Loaded() override;

private:
    // The two action sequences; each lands with its own unit of work.
    void InstallOrUpgrade();
    void Uninstall();
    bool ExtractPayload();
    std::string ExtractEntry(const std::string& entry);
    // False when a file of the cut set could not get its old content back.
    bool RecoverInterruptedRun(const std::string& folder);
    void InstallFirebird(const std::string& folder);
    // Waits until the server's installers have been started and logs how each went.
    void LogInstallers();
    bool CreateShortcutsAndSavePath();
    // Takes the folder the field names as the application folder, creating it with its missing
    // parents; false after an error box when its name or the folder cannot be used.
    bool PrepareAppFolder();
    // Disables the action button, the close button and the radio buttons while a sequence runs
    // (its progress reports let the user click), and gives them back afterwards.
    void SetBusy(bool busy);
    void ShowError(const std::u16string& text);

    // The application folder of the running sequence in the ANSI code page, fixed when the
    // button was pressed, so every step names the same folder.
    std::string appFolder_;
    uint64_t installedBytes_ = 0;  // what the install wrote, for the installed-programs list
    // The server's installers being started, in order: each file and whether it was started.
    std::future<std::vector<std::pair<std::string, bool>>> installers_;
    // The uninstaller copy being written ahead (installed::StartSetupCopy).
    std::future<bool> setupCopy_;
    bool busy_ = false;
    bool radio2WasEnabled_ = false;
};
