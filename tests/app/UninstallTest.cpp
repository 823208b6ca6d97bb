// The uninstall action end to end through the window's handler, on the machine's registry,
// files and shell folders, with a real program standing in for a running product.
#include <gtest/gtest.h>

#include <fstream>
#include <vector>

#include "app/CommandLine.h"
#include "app/RunLog.h"
#include "app/uUpd.h"
#include "platform/Files.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/ChildProcess.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

using platform::RegRoot;

namespace {

const std::string kApp = "C:\\UninstallTest";

std::u16string U(const char* utf8) {
    return platform::Utf8ToUtf16(utf8);
}

void Touch(const std::string& windowsPath) {
    std::ofstream(platform::HostPath(windowsPath)) << "x";
}

std::string Folder(int csidl) {
    std::string path;
    EXPECT_TRUE(platform::GetSpecialFolderPath(csidl, path));
    return path;
}

class UninstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::MakeFolder(kApp);
        platform::MakeFolder(kApp + "\\Firebird-2.1.1.1");
        Touch(kApp + "\\Firebird-2.1.1.1\\readme.txt");
        Touch(kApp + "\\voxTram.exe");
        ASSERT_TRUE(testing_machine::CopyHostFile(testing_machine::IdleProgramHostPath(), Exe()));

        platform::RegKey key;
        ASSERT_EQ(key.Create(RegRoot::LocalMachine, std::string(TuUpd::kProductKey) + "\\Sub\\Deep",
                             TuUpd::kProductView),
                  platform::kRegOk);
        ASSERT_EQ(key.Create(RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView),
                  platform::kRegOk);
        ASSERT_EQ(key.WriteString(TuUpd::kAppPathValue, kApp), platform::kRegOk);
        // The network key is part of every Windows machine: only its value is ours to change.
        platform::RegKey net;
        ASSERT_EQ(net.Create(RegRoot::LocalMachine, TuUpd::kNetworkParametersKey),
                  platform::kRegOk);
        ASSERT_EQ(net.WriteDword(TuUpd::kMediaSenseValue, 0), platform::kRegOk);

        platform::MakeFolder(Folder(platform::kCsidlPrograms) + "\\Solvenza");
        Touch(DesktopLink());
        Touch(ProgramsLink());
        for (const std::string& link : AllUsersLinks()) {
            platform::MakeFolder(platform::PathFolder(link));
            Touch(link);
        }

        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
    }

    void TearDown() override {
        running.Stop();
        ui::Application::Instance().Shutdown();
        platform::DeleteKeyTree(RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView);
        for (const std::string& f :
             {Exe(), kApp + "\\voxTram.exe", kApp + "\\Firebird-2.1.1.1\\readme.txt", DesktopLink(),
              ProgramsLink()})
            platform::RemoveFile(f);
        for (const std::string& link : AllUsersLinks()) platform::RemoveFile(link);
    }

    static std::string Exe() { return kApp + "\\ivoxcc.exe"; }
    static std::string Link() {
        return std::string("Solvenza Quillora") + platform::ShortcutExtension();
    }
    static std::string DesktopLink() { return Folder(platform::kCsidlDesktop) + "\\" + Link(); }
    static std::string ProgramsLink() {
        return Folder(platform::kCsidlPrograms) + "\\Solvenza\\" + Link();
    }
    // The shortcuts an elevated install made for every user, where the platform has such
    // folders (Windows).
    static std::vector<std::string> AllUsersLinks() {
        std::vector<std::string> links;
        std::string desktop, programs;
        if (platform::GetSpecialFolderPath(platform::kCsidlCommonDesktopDirectory, desktop) &&
            platform::GetSpecialFolderPath(platform::kCsidlCommonPrograms, programs))
            links = {desktop + "\\" + Link(), programs + "\\Solvenza\\" + Link()};
        return links;
    }
    static bool ProductKeyExists() {
        platform::RegKey key;
        return key.Open(RegRoot::LocalMachine, TuUpd::kProductKey, false, TuUpd::kProductView) ==
               platform::kRegOk;
    }

    // Opens the window (upgrade mode, since the product is recorded), picks uninstall and presses
    // the action button with a different folder typed in the field.
    TuUpd* RunUninstall() {
        TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
        EXPECT_TRUE(w->Radio2->Enabled());
        w->Radio2->UserClicked();
        w->Edit_AppPath->UserEditedText(u"D:\\Typed");
        w->bt_NangCap->Click();
        return w;
    }

    ui::HeadlessBackend* backend = nullptr;
    testing_machine::ChildProcess running;
};

TEST_F(UninstallTest, RunningProductIsRefusedAndNothingButTheNetworkValueChanges) {
    ASSERT_TRUE(running.Start(Exe()));
    TuUpd* w = RunUninstall();

    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Đóng tất cả các ứng dụng trước khi tháo dỡ"));
    EXPECT_EQ(backend->boxes[0].caption, u"Solvenza Accounting");
    EXPECT_EQ(backend->boxes[0].Icon(), unsigned(ui::kMbIconError));
    EXPECT_EQ(backend->boxes[0].owner, nullptr);

    platform::RegKey net;
    ASSERT_EQ(net.Open(RegRoot::LocalMachine, TuUpd::kNetworkParametersKey), platform::kRegOk);
    uint32_t value = 0;
    EXPECT_EQ(net.ReadDword(TuUpd::kMediaSenseValue, value), platform::kRegOk);
    EXPECT_EQ(value, 1u);

    EXPECT_TRUE(platform::FileExists(Exe()));
    EXPECT_TRUE(ProductKeyExists());
    EXPECT_TRUE(platform::FileExists(DesktopLink()));
    EXPECT_TRUE(platform::FileExists(ProgramsLink()));
    EXPECT_FALSE(ui::Application::Instance().Terminated());
    EXPECT_EQ(w->Edit_AppPath->Text(),
              platform::AnsiToUtf16(kApp));  // the recorded folder, not the typed one
    EXPECT_EQ(runlog::ExitCode(), admin::kExitProductRunning);

    // Once the product is closed the same button completes the uninstall.
    running.Stop();
    w->bt_NangCap->Click();
    EXPECT_FALSE(platform::FileExists(Exe()));
    EXPECT_TRUE(ui::Application::Instance().Terminated());
    EXPECT_EQ(runlog::ExitCode(), admin::kExitSuccess);
}

TEST_F(UninstallTest, RemovesExecutableKeyAndShortcutsAndKeepsTheRest) {
    RunUninstall();

    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Đã tháo dỡ !!!"));
    EXPECT_EQ(backend->boxes[0].caption, u"Solvenza Quillora");
    EXPECT_EQ(backend->boxes[0].Icon(), unsigned(ui::kMbIconInformation));
    EXPECT_EQ(backend->boxes[0].owner, nullptr);

    EXPECT_FALSE(platform::FileExists(Exe()));
    EXPECT_FALSE(ProductKeyExists());
    platform::RegKey deep;
    EXPECT_EQ(deep.Open(RegRoot::LocalMachine, std::string(TuUpd::kProductKey) + "\\Sub\\Deep",
                        false, TuUpd::kProductView),
              platform::kRegNotFound);
    platform::RegKey parent;
    EXPECT_EQ(parent.Open(RegRoot::LocalMachine, "SoftWare\\Solvenza Corp\\ERP", false,
                          TuUpd::kProductView),
              platform::kRegOk);
    EXPECT_FALSE(platform::FileExists(DesktopLink()));
    EXPECT_FALSE(platform::FileExists(ProgramsLink()));
    for (const std::string& link : AllUsersLinks())
        EXPECT_FALSE(platform::FileExists(link)) << link;
    EXPECT_TRUE(platform::FileExists(Folder(platform::kCsidlPrograms) + "\\Solvenza"));
    EXPECT_TRUE(platform::FileExists(kApp + "\\voxTram.exe"));
    EXPECT_TRUE(platform::FileExists(kApp + "\\Firebird-2.1.1.1\\readme.txt"));

    ui::Application& app = ui::Application::Instance();
    EXPECT_TRUE(app.Terminated());
    app.ProcessMessages();
    EXPECT_EQ(app.MainForm(), nullptr);
}

TEST_F(UninstallTest, MissingExecutableAndShortcutsDoNotStopTheUninstall) {
    platform::RemoveFile(Exe());
    platform::RemoveFile(DesktopLink());
    platform::RemoveFile(ProgramsLink());
    RunUninstall();
    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Đã tháo dỡ !!!"));
    EXPECT_FALSE(ProductKeyExists());
    EXPECT_TRUE(ui::Application::Instance().Terminated());
}

}  // namespace
