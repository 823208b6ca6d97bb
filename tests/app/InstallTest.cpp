// The install and upgrade action end to end through the window's handler: the payload the test
// program carries, the real engine module, the machine's registry, shell folders and processes
// (on Windows under Wine; on Linux in the test's prefix), with copies of an idle program standing
// in for the product's running programs.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
// The shell headers build on windows.h.
#include <sddl.h>
#include <shobjidl.h>
#endif

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "app/CommandLine.h"
#include "app/InstalledProgram.h"
#include "app/RunLog.h"
#include "app/RunTemp.h"
#include "app/Shortcuts.h"
#include "app/uUpd.h"
#include "archive/ZipBuilder.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestDrives.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"
#if !defined(_WIN32)
#include "platform/Prefix_posix.h"
#endif

#if defined(SETUP_ENGINE_DIR)

namespace {

using platform::RegRoot;
namespace fs = std::filesystem;

const std::string kApp = "C:\\Solvenza";
const std::string kOther = "C:\\InstallTestOther";
const std::string kLink = std::string("Solvenza Quillora") + platform::ShortcutExtension();
const std::string kMarker = kApp + "\\Firebird-2.1.1.1\\bin\\install_super.done";

std::u16string U(const char* utf8) {
    return platform::Utf8ToUtf16(utf8);
}

std::string ReadAll(const std::string& windowsPath) {
    std::ifstream in(platform::HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Write(const std::string& windowsPath, const std::string& bytes) {
    std::ofstream(platform::HostPath(windowsPath), std::ios::binary) << bytes;
}

std::string Folder(int csidl) {
    std::string path;
    EXPECT_TRUE(platform::GetSpecialFolderPath(csidl, path));
    return path;
}

// Where the install puts its shortcuts: the all-users folders when it runs elevated (Windows
// under Wine), the user's own otherwise.
int DesktopFolder() {
    return platform::ShortcutsForAllUsers() ? platform::kCsidlCommonDesktopDirectory
                                            : platform::kCsidlDesktop;
}
int ProgramsFolder() {
    return platform::ShortcutsForAllUsers() ? platform::kCsidlCommonPrograms
                                            : platform::kCsidlPrograms;
}
std::string DesktopLink() {
    return Folder(DesktopFolder()) + "\\" + kLink;
}
std::string UserDesktopLink() {
    return Folder(platform::kCsidlDesktop) + "\\" + kLink;
}
std::string ProgramsLink() {
    return Folder(ProgramsFolder()) + "\\Solvenza\\" + kLink;
}
// The 32-bit product's client library goes into the 32-bit system folder.
std::string Gds32() {
    return platform::SystemFolder32() + "\\gds32.dll";
}

std::set<std::string> FilesIn(const std::string& windowsFolder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(platform::HostPath(windowsFolder), ec))
        names.insert(e.path().filename().string());
    return names;
}

size_t FilesUnder(const std::string& windowsFolder) {
    size_t n = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(platform::HostPath(windowsFolder), ec))
        n += e.is_regular_file() ? 1 : 0;
    return n;
}

std::string Resource(const char* name) {
    platform::ResourceBytes r;
    if (!platform::FindOwnResource("zip", name, r)) return "";
    return std::string(reinterpret_cast<const char*>(r.data), r.size);
}

// The engine module's folder of this build as the program names it (the host's root is Z:).
std::string EngineFolder() {
    std::string folder = "Z:" + std::string(SETUP_ENGINE_DIR);
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

// One entry of a payload archive, taken out by the component with the given password.
std::string Entry(const char* archive, const std::string& entry) {
    const std::string path = platform::TempFolder() + "InstallTestEntry.zip";
    Write(path, Resource(archive));
    archive::TZipBuilder zip(nullptr, "entry");
    zip.Unattended = true;
    zip.DLLDirectory = EngineFolder();
    zip.Password = "Qu1ll0ra#2010";
    zip.SetFileName(path);
    archive::TZipStream* s = zip.ExtractFileToStream(entry);
    std::string bytes = s ? std::string(reinterpret_cast<const char*>(s->Memory()), s->Size()) : "";
    zip.Clear();
    platform::RemoveFile(path);
    return bytes;
}

// Whether the child has ended within a few seconds (a stopped process takes a moment to go).
bool Ends(const testing_machine::ChildProcess& child) {
    for (int i = 0; i < 100 && child.Running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return !child.Running();
}

bool WaitFor(const std::string& windowsPath) {
    for (int i = 0; i < 200 && !platform::FileExists(windowsPath); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return platform::FileExists(windowsPath);
}

// A small drive of the test machine; a CI machine must run the tests of a full disk, so there a
// missing one is a failure, elsewhere the test is skipped.
bool SmallDrive(char letter, const char* size) {
    std::string why;
    if (testing_machine::SmallTestDrive(letter, size, why)) return true;
    const char* ci = std::getenv("CI");
    if (ci && std::string(ci) == "true")
        ADD_FAILURE() << why;
    else
        [&] { GTEST_SKIP() << why; }();
    return false;
}

class InstallTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clean();
        ASSERT_TRUE(platform::MakeFolder(kApp));
        ASSERT_TRUE(platform::MakeFolder(kOther));
        tempBefore = FilesIn(platform::TempFolder());
        startFolder = fs::current_path();
        StartApplication();
    }

    void StartApplication() {
        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
    }
    // The program ended and started again, as for an upgrade after the first install.
    void RestartApplication() {
        ui::Application::Instance().Shutdown();
        StartApplication();
    }

    void TearDown() override {
        for (testing_machine::ChildProcess* p : {&ivoxcc, &voxTram, &voxzbds, &voxzbdc}) p->Stop();
        ui::Application::Instance().Shutdown();
        runtemp::Remove();
        // Extracting the server tree made its folder the current one; a current folder cannot go.
        fs::current_path(startFolder);
        // The product archive's copies the runs kept in the temporary folder.
        for (const std::string& name : FilesIn(platform::TempFolder()))
            if (!tempBefore.count(name)) platform::RemoveFile(platform::TempFolder() + name);
        Clean();
    }

    static void Clean() {
        testing_machine::WaitForLaunchedScript(kApp + "\\Firebird-2.1.1.1\\bin\\");
        // The launched installers hold their working folder until they end (on Windows a folder
        // in use cannot go), so the removal is tried for a while.
        for (const std::string& folder : {kApp, kOther}) testing_machine::RemoveFolderWhenFree(folder);
        for (const std::string& file : {DesktopLink(), UserDesktopLink(), ProgramsLink(), Gds32()})
            platform::RemoveFile(file);
        platform::RemoveFolder(Folder(ProgramsFolder()) + "\\Solvenza");
        platform::DeleteKeyTree(RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView);
        platform::DeleteKeyTree(RegRoot::LocalMachine, installed::kUninstallKey,
                                TuUpd::kProductView);
    }

    // Opens the window, types `folder` and presses the action button (install is preselected).
    TuUpd* RunInstall(const std::string& folder = kApp) {
        return RunInstallTyped(platform::AnsiToUtf16(folder));
    }
    TuUpd* RunInstallTyped(const std::u16string& folder) {
        TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
        EXPECT_TRUE(w->Radio1->Checked());
        w->ZipBuilder1->DLLDirectory = EngineFolder();
        w->Edit_AppPath->UserEditedText(folder);
        w->bt_NangCap->Click();
        return w;
    }

    // Nothing of the product was put anywhere.
    void ExpectNothingInstalled() {
        EXPECT_FALSE(platform::FileExists(Gds32()));
        EXPECT_FALSE(ProductKeyExists());
        EXPECT_FALSE(platform::FileExists(DesktopLink()));
    }

    // A server tree file not written: the box is `text` (or begins with it), the run is a failed
    // write (exit code 5) and no folder is recorded.
    void ExpectTreeNotWritten(TuUpd* w, const std::u16string& text, bool whole) {
        ASSERT_EQ(backend->boxes.size(), 1u);
        const std::u16string box = backend->boxes[0].text;
        EXPECT_EQ(whole ? box : box.substr(0, text.size()), text) << platform::Utf16ToUtf8(box);
        ExpectRestoredAfter(w, box);
        EXPECT_EQ(runlog::ExitCode(), admin::kExitOtherFailure);
        EXPECT_FALSE(ProductKeyExists());
    }
    // The window as the user gets it back after a failed install, with the one error box.
    void ExpectRestoredAfter(TuUpd* w, const std::u16string& text) {
        ASSERT_EQ(backend->boxes.size(), 1u);
        EXPECT_EQ(backend->boxes[0].text, text);
        EXPECT_EQ(backend->boxes[0].caption, u"Solvenza");
        EXPECT_EQ(backend->boxes[0].Icon(), unsigned(ui::kMbIconError));
        EXPECT_EQ(backend->boxes[0].owner, w);
        // The window is back for another try, its buttons with it.
        EXPECT_TRUE(w->bt_NangCap->Enabled());
        EXPECT_TRUE(w->bt_Dong->Enabled());
        EXPECT_TRUE(w->Radio1->Enabled());
        EXPECT_FALSE(w->ProgressBar1->Visible());
        EXPECT_EQ(w->ProgressBar1->Position(), 0);
        EXPECT_TRUE(w->Edit_AppPath->Visible());
        EXPECT_EQ(w->lbl_ThongBao->Caption(), U("Thư mục ứng dụng:"));
        EXPECT_FALSE(ui::Application::Instance().Terminated());
    }

    bool ProductKeyExists() {
        platform::RegKey key;
        return key.Open(RegRoot::LocalMachine, TuUpd::kProductKey, false, TuUpd::kProductView) ==
               platform::kRegOk;
    }

    ui::HeadlessBackend* backend = nullptr;
    std::set<std::string> tempBefore;
    fs::path startFolder;
    testing_machine::ChildProcess ivoxcc, voxTram, voxzbds, voxzbdc;
};

const std::u16string kCloseTheProgram =
    U("Đóng ứng dụng Solvenza Accounting trước khi thực hiện nâng cấp.");

TEST_F(InstallTest, FreshMachineGetsFilesServerShortcutsAndTheRecordedFolder) {
    // A machine that never had the product has no "C:\Solvenza": the install makes it.
    fs::remove_all(platform::HostPath(kApp));
    bool barAtTheBox = false;
    backend->responder = [&](const ui::MessageBoxRecord&) {
        TuUpd* w = dynamic_cast<TuUpd*>(ui::Application::Instance().MainForm());
        barAtTheBox = w && w->ProgressBar1->Visible() && w->ProgressBar1->Position() == 100 &&
                      !w->Edit_AppPath->Visible();
        return ui::kIdOk;
    };
    TuUpd* w = RunInstall();

    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Cài đặt hoàn tất !!!"));
    EXPECT_EQ(backend->boxes[0].caption, u"Solvenza");
    EXPECT_EQ(backend->boxes[0].Icon(), unsigned(ui::kMbIconInformation));
    EXPECT_EQ(backend->boxes[0].owner, w);
    EXPECT_TRUE(barAtTheBox);
    EXPECT_TRUE(ui::Application::Instance().Terminated());
    EXPECT_EQ(runlog::ExitCode(), admin::kExitSuccess);

    EXPECT_EQ(ReadAll(kApp + "\\ivoxcc.exe"), Entry("cacfile", "ivoxcc.exe"));
    EXPECT_EQ(ReadAll(kApp + "\\voxTram.exe"), Entry("cacfile", "voxTram.exe"));
    EXPECT_EQ(ReadAll(Gds32()), Entry("cacfile", "fb_gds32.dll"));
    EXPECT_NE(ReadAll(kApp + "\\ivoxcc.exe"), "");
    // The whole server tree, and the script it launched has run.
    EXPECT_TRUE(WaitFor(kMarker));
    EXPECT_EQ(FilesUnder(kApp + "\\Firebird-2.1.1.1"), 40u + 1u);  // 40 files and the marker
    for (const char* folder : {"bin", "intl", "system32", "udf"})
        EXPECT_TRUE(platform::FileExists(kApp + "\\Firebird-2.1.1.1\\" + folder)) << folder;
    EXPECT_EQ(ReadAll(kApp + "\\Firebird-2.1.1.1\\system32\\vccrt8_Win32.msi"),
              Entry("firebird", "Firebird-2.1.1.1\\system32\\vccrt8_Win32.msi"));
    // Nothing but the product's files and the setup program's copy (the uninstaller of the
    // system's list of programs) in the folder: no new file left beside them.
    EXPECT_EQ(FilesIn(kApp), (std::set<std::string>{"Firebird-2.1.1.1", "Setup_iVOX.exe",
                                                    "ivoxcc.exe", "voxTram.exe"}));

    ShortcutLink* link = nullptr;
    EXPECT_EQ(CreateShortcutInSpecialFolder(nullptr, "", "", "", 0, "Solvenza Quillora",
                                            DesktopFolder(), false, &link),
              DesktopLink());
    ASSERT_NE(link, nullptr);
    char target[260] = {};
    EXPECT_EQ(link->GetPath(target, sizeof target, nullptr, 0), 0);
    EXPECT_EQ(std::string(target), platform::HostPath(kApp + "\\ivoxcc.exe"));
    link->Release();
    EXPECT_TRUE(platform::FileExists(ProgramsLink()));

    platform::RegKey key;
    ASSERT_EQ(key.Open(RegRoot::LocalMachine, TuUpd::kProductKey, false, TuUpd::kProductView),
              platform::kRegOk);
    std::string recorded;
    EXPECT_EQ(key.ReadString(TuUpd::kAppPathValue, recorded), platform::kRegOk);
    EXPECT_EQ(recorded, kApp);
#if defined(_WIN64)
    // Where a 32-bit program looks, and only there: neither the 64-bit view nor the 64-bit
    // system folder has the product.
    platform::RegKey wide;
    EXPECT_EQ(wide.Open(RegRoot::LocalMachine, TuUpd::kProductKey), platform::kRegNotFound);
    EXPECT_NE(platform::SystemFolder32(), platform::SystemFolder());
    EXPECT_FALSE(platform::FileExists(platform::SystemFolder() + "\\gds32.dll"));
#elif defined(_WIN32)
    // The 32-bit program: on 64-bit Windows the library goes to SysWOW64; a 32-bit Windows has
    // only System32, and it goes there.
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_EQ(platform::SystemFolder32() != platform::SystemFolder(), wow64 != FALSE);
    EXPECT_TRUE(platform::FileExists(platform::SystemFolder32() + "\\gds32.dll"));
#endif

    // Neither archive's copy is left: the run's own temporary folder is all that is new in the
    // temporary folder (it goes at the end of the run), and it holds no file.
    std::set<std::string> added;
    for (const std::string& name : FilesIn(platform::TempFolder()))
        if (!tempBefore.count(name)) added.insert(name);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added.begin()->rfind("SetupIVOX-", 0), 0u);
    EXPECT_EQ(FilesIn(platform::TempFolder() + *added.begin()), std::set<std::string>{});
}

TEST_F(InstallTest, RunningProgramsStopInTheirTurn) {
    const std::string idle = testing_machine::IdleProgramHostPath();
    ASSERT_TRUE(testing_machine::CopyHostFile(idle, kApp + "\\voxTram.exe"));
    ASSERT_TRUE(testing_machine::CopyHostFile(idle, kApp + "\\voxzbds.exe"));
    ASSERT_TRUE(testing_machine::CopyHostFile(idle, kApp + "\\voxzbdc.exe"));
    // A program of the same name elsewhere is not the product's, and stays.
    ASSERT_TRUE(testing_machine::CopyHostFile(idle, kOther + "\\voxTram.exe"));
    testing_machine::ChildProcess decoy;
    ASSERT_TRUE(decoy.Start(kOther + "\\voxTram.exe"));
    ASSERT_TRUE(voxTram.Start(kApp + "\\voxTram.exe"));
    ASSERT_TRUE(voxzbds.Start(kApp + "\\voxzbds.exe"));
    ASSERT_TRUE(voxzbdc.Start(kApp + "\\voxzbdc.exe"));

    bool serversRanAtTheBox = false, stationRanAtTheBox = true;
    backend->responder = [&](const ui::MessageBoxRecord&) {
        serversRanAtTheBox = voxzbds.Running() && voxzbdc.Running();
        stationRanAtTheBox = voxTram.Running();
        return ui::kIdOk;
    };
    RunInstall();

    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Cài đặt hoàn tất !!!"));
    EXPECT_FALSE(stationRanAtTheBox);
    EXPECT_TRUE(serversRanAtTheBox);
    EXPECT_TRUE(Ends(voxzbds));
    EXPECT_TRUE(Ends(voxzbdc));
    EXPECT_EQ(ReadAll(kApp + "\\voxTram.exe"), Entry("cacfile", "voxTram.exe"));
    EXPECT_TRUE(decoy.Running());
    decoy.Stop();
}

TEST_F(InstallTest, RunningProductIsNotReplacedAndTheUserIsAskedToCloseIt) {
    ASSERT_TRUE(testing_machine::CopyHostFile(testing_machine::IdleProgramHostPath(),
                                              kApp + "\\ivoxcc.exe"));
    const std::string before = ReadAll(kApp + "\\ivoxcc.exe");
    ASSERT_TRUE(ivoxcc.Start(kApp + "\\ivoxcc.exe"));
    TuUpd* w = RunInstall();

    ExpectRestoredAfter(w, kCloseTheProgram);
    EXPECT_EQ(runlog::ExitCode(), admin::kExitProductRunning);
    EXPECT_EQ(ReadAll(kApp + "\\ivoxcc.exe"), before);
    EXPECT_EQ(FilesIn(kApp), std::set<std::string>{"ivoxcc.exe"});
    EXPECT_FALSE(ProductKeyExists());
    EXPECT_FALSE(platform::FileExists(DesktopLink()));
}

// A folder is made with its missing parents; one that cannot be made, or whose name the code
// page cannot hold, is refused before anything is written, and the window comes back.
TEST_F(InstallTest, TheFolderIsMadeWhenMissingAndRefusedWhenItCannotBe) {
    Write(kOther + "\\taken", "a file where the folder would go");
    // (A relative or empty folder is refused by the folder check; see TrustTest.)
    const std::string cannot[] = {kOther + "\\taken", kOther + "\\taken\\below", "Q:\\Solvenza"};
    TuUpd* w = nullptr;
    for (const std::string& folder : cannot) {
        SCOPED_TRACE(folder);
        backend->boxes.clear();
        w = RunInstall(folder);
        ExpectRestoredAfter(
            w, U("Không tạo được thư mục ứng dụng ") + platform::AnsiToUtf16(folder) + u".");
        ExpectNothingInstalled();
        EXPECT_EQ(FilesIn(platform::TempFolder()), tempBefore);
        EXPECT_EQ(runlog::ExitCode(), admin::kExitFolderUnusable);
        RestartApplication();
    }
    EXPECT_EQ(FilesIn(kOther), std::set<std::string>{"taken"});

    // The folder name in the user's letters: installed where the code page holds them (always
    // on POSIX hosts; on Windows under a Vietnamese code page), refused before anything is
    // written where it does not (a Western code page).
    const std::u16string vietnamese = U("C:\\InstallTestOther\\Kế toán");
    std::string ansi;
    const bool holds = platform::TryUtf16ToAnsi(vietnamese, ansi);
#if defined(_WIN32)
    EXPECT_EQ(holds, GetACP() == 1258) << GetACP();
#endif
    w = RunInstallTyped(vietnamese);
    if (holds) {
        ASSERT_EQ(backend->boxes.size(), 1u);
        EXPECT_EQ(backend->boxes[0].text, U("Cài đặt hoàn tất !!!"));
        EXPECT_EQ(ReadAll(ansi + "\\ivoxcc.exe"), Entry("cacfile", "ivoxcc.exe"));
        platform::RegKey key;
        std::string recorded;
        ASSERT_EQ(key.Open(RegRoot::LocalMachine, TuUpd::kProductKey, false, TuUpd::kProductView),
                  platform::kRegOk);
        EXPECT_EQ(key.ReadString(TuUpd::kAppPathValue, recorded), platform::kRegOk);
        EXPECT_EQ(platform::AnsiToUtf16(recorded), platform::AnsiToUtf16(ansi));
        EXPECT_TRUE(WaitFor(ansi + "\\Firebird-2.1.1.1\\bin\\install_super.done"));
    } else {
        ExpectRestoredAfter(
            w, U("Tên thư mục có ký tự không dùng được trên máy này. Hãy chọn thư mục khác."));
        EXPECT_EQ(runlog::ExitCode(), admin::kExitFolderUnusable);
        ExpectNothingInstalled();
        EXPECT_EQ(FilesIn(kOther), std::set<std::string>{"taken"});
    }
    RestartApplication();

    // A folder two levels below a missing one installs at the first click.
    backend->boxes.clear();
    RunInstall(kApp + "\\Missing\\Deeper");
    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Cài đặt hoàn tất !!!"));
    EXPECT_EQ(ReadAll(kApp + "\\Missing\\Deeper\\ivoxcc.exe"), Entry("cacfile", "ivoxcc.exe"));
    EXPECT_TRUE(WaitFor(kApp + "\\Missing\\Deeper\\Firebird-2.1.1.1\\bin\\install_super.done"));
}

// The upgrade of a machine whose database server runs: the server's program cannot be replaced,
// keeps its whole copy and is named in the status line; everything else is new and the upgrade
// completes. A second press of the button while it runs starts nothing.
TEST_F(InstallTest, AnUpgradeWithTheServerRunningKeepsItsFileAndCompletes) {
    RunInstall();
    ASSERT_EQ(backend->boxes.size(), 1u);
    ASSERT_TRUE(WaitFor(kMarker));
    platform::RemoveFile(kMarker);
    RestartApplication();

    const std::string server = kApp + "\\Firebird-2.1.1.1\\bin\\fbserver.exe";
    const std::string library = kApp + "\\Firebird-2.1.1.1\\bin\\fbclient.dll";
    ASSERT_TRUE(platform::FileExists(library));
    ASSERT_TRUE(testing_machine::CopyHostFile(testing_machine::IdleProgramHostPath(), server));
    const std::string running = ReadAll(server);
    testing_machine::ChildProcess fbserver;
    ASSERT_TRUE(fbserver.Start(server));
    Write(library, "an old library");
    Write(kApp + "\\ivoxcc.exe", "the old program");

    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    EXPECT_EQ(w->Radio1->Caption(), U("Nâng cấp"));
    EXPECT_EQ(w->Edit_AppPath->Text(), platform::AnsiToUtf16(kApp));
    w->ZipBuilder1->DLLDirectory = EngineFolder();
    int progress = 0, nested = 0;
    bool enabledDuringTheRun = false;
    w->ZipBuilder1->SetOnProgress([&](ui::Component*, archive::ProgressType, const std::string&,
                                      int64_t) {
        ++progress;
        enabledDuringTheRun = enabledDuringTheRun || w->bt_NangCap->Enabled() ||
                              w->bt_Dong->Enabled() || w->Radio1->Enabled() || w->Radio2->Enabled();
        // What a user's second click does while the reports pump the window's messages.
        const size_t boxes = backend->boxes.size();
        w->bt_NangCap->Click();
        w->bt_Dong->Click();
        nested += backend->boxes.size() != boxes || ui::Application::Instance().Terminated();
    });
    std::u16string statusAtTheBox;
    backend->responder = [&](const ui::MessageBoxRecord&) {
        statusAtTheBox = w->lbl_ThongBao->Caption();
        return ui::kIdOk;
    };
    w->bt_NangCap->Click();

    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Cài đặt hoàn tất !!!"));
    EXPECT_NE(statusAtTheBox.find(u"fbserver.exe"), std::u16string::npos);
    EXPECT_GT(progress, 0);
    EXPECT_FALSE(enabledDuringTheRun);
    EXPECT_EQ(nested, 0);
    EXPECT_TRUE(fbserver.Running());
    EXPECT_EQ(ReadAll(server), running);
    EXPECT_EQ(ReadAll(library), Entry("firebird", "Firebird-2.1.1.1\\bin\\fbclient.dll"));
    EXPECT_EQ(ReadAll(kApp + "\\ivoxcc.exe"), Entry("cacfile", "ivoxcc.exe"));
    EXPECT_TRUE(WaitFor(kMarker));  // the installers ran on the upgraded tree
    fbserver.Stop();
}

// A file that cannot be written is named in Vietnamese; a folder that cannot be recorded is an
// error, not a success.
TEST_F(InstallTest, WriteFailuresAreNamedAndAnUnrecordedFolderIsNoSuccess) {
    Write(kApp + "\\ivoxcc.exe", "the working program");
    ASSERT_TRUE(platform::SetFileAttributeBits(kApp + "\\ivoxcc.exe", platform::kAttrReadOnly));
    TuUpd* w = RunInstall();
    ExpectRestoredAfter(
        w, U("Không ghi được tệp ") + platform::AnsiToUtf16(kApp) + U("\\ivoxcc.exe."));
    EXPECT_EQ(ReadAll(kApp + "\\ivoxcc.exe"), "the working program");
    EXPECT_EQ(FilesIn(kApp), std::set<std::string>{"ivoxcc.exe"});
    ExpectNothingInstalled();
    platform::SetFileAttributeBits(kApp + "\\ivoxcc.exe", 0);

    RestartApplication();
#if defined(_WIN32)
    // The product key takes no writes: its access list lets everybody read it, nothing more.
    const auto keyAccess = [](const char* sddl, REGSAM open) {
        HKEY key = nullptr;
        PSECURITY_DESCRIPTOR sd = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TuUpd::kProductKey, 0, nullptr, 0,
                                  open | KEY_WOW64_32KEY, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd,
                                                                         nullptr));
        EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS);
        LocalFree(sd);
        RegCloseKey(key);
    };
    keyAccess("D:P(A;;KR;;;WD)", KEY_ALL_ACCESS);
#else
    // A registry store that does not read is never rewritten, so the folder cannot be recorded.
    std::ofstream(platform::PrefixRoot() + "/registry.reg") << "not a registry\n";
#endif
    w = RunInstall();
    ExpectRestoredAfter(w, U("Không ghi được thư mục ứng dụng vào registry."));
    EXPECT_FALSE(ui::Application::Instance().Terminated());
#if defined(_WIN32)
    keyAccess("D:(A;;KA;;;WD)", WRITE_DAC);  // the owner may always change the list back
#else
    fs::remove(platform::PrefixRoot() + "/registry.reg");
#endif
}

// An installed version whose three product files are all replaced or none is: a damaged third
// entry stops the upgrade before anything is replaced, and a third file that cannot be replaced
// puts the first two back. Nothing of ours stays beside them.
TEST_F(InstallTest, TheThreeProductFilesAreReplacedTogetherOrNotAtAll) {
    const std::string files[] = {kApp + "\\ivoxcc.exe", Gds32(), kApp + "\\voxTram.exe"};
    const auto installOld = [&] {
        for (const std::string& f : files) Write(f, "the old " + f);
    };
    const auto expectOld = [&] {
        for (const std::string& f : files) EXPECT_TRUE(ReadAll(f) == "the old " + f) << f;
        EXPECT_EQ(FilesIn(kApp), (std::set<std::string>{"ivoxcc.exe", "voxTram.exe", "other.exe"}));
        for (const std::string& name : FilesIn(platform::SystemFolder32()))
            EXPECT_EQ(name.find("~SetupIVOX"), std::string::npos) << name;
    };
    installOld();
    Write(kApp + "\\other.exe", "");

    // The product archive, damaged in the station program's data once the component has read
    // its directory: that entry no longer comes out whole.
    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    w->ZipBuilder1->DLLDirectory = EngineFolder();
    w->ZipBuilder1->SetOnDirUpdate([w](ui::Component*) {
        for (int32_t i = 0; i < w->ZipBuilder1->Count(); ++i) {
            const archive::ZipDirEntry& e = w->ZipBuilder1->DirEntry(i);
            if (e.FileName != "voxTram.exe") continue;
            std::fstream f(platform::HostPath(w->ZipBuilder1->ZipFileName()),
                           std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(e.LocalOffset + 30 + e.NameLength + e.ExtraLength + 40);
            f.put('\x5a');
        }
    });
    w->bt_NangCap->Click();
    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_NE(backend->boxes[0].text.find(u"voxTram.exe"), std::u16string::npos);
    EXPECT_EQ(backend->boxes[0].Icon(), unsigned(ui::kMbIconError));
    expectOld();
    EXPECT_FALSE(ProductKeyExists());
    RestartApplication();

    // The station program's file held by a program of another name, which the upgrade does not
    // stop: the third file cannot be replaced, and the first two are put back.
    platform::RemoveFile(kApp + "\\other.exe");
    ASSERT_TRUE(testing_machine::CopyHostFile(testing_machine::IdleProgramHostPath(),
                                              kApp + "\\voxTram.exe"));
    fs::create_hard_link(platform::HostPath(kApp + "\\voxTram.exe"),
                         platform::HostPath(kApp + "\\other.exe"));
    const std::string station = ReadAll(kApp + "\\voxTram.exe");
    ASSERT_TRUE(voxTram.Start(kApp + "\\other.exe"));
    w = RunInstall();
    ExpectRestoredAfter(w, kCloseTheProgram);
    EXPECT_TRUE(ReadAll(kApp + "\\voxTram.exe") == station);
    EXPECT_TRUE(voxTram.Running());
    for (const std::string& f : {files[0], files[1]})
        EXPECT_TRUE(ReadAll(f) == "the old " + f) << f;
    EXPECT_EQ(FilesIn(kApp), (std::set<std::string>{"ivoxcc.exe", "voxTram.exe", "other.exe"}));
    voxTram.Stop();
}

#if defined(_WIN32)
std::wstring Wide(const std::string& ansi) {
    const std::u16string u = platform::AnsiToUtf16(ansi);
    return std::wstring(u.begin(), u.end());
}

// The file as it is now, opened as its writer allows (that one may delete it).
std::string ReadShared(const std::string& path) {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    std::string bytes(h == INVALID_HANDLE_VALUE ? 0 : GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    if (h != INVALID_HANDLE_VALUE) ReadFile(h, bytes.data(), DWORD(bytes.size()), &got, nullptr);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return bytes.substr(0, got);
}

// A product file that another program holds without delete sharing, as a virus scanner or the
// search indexer does: the silent upgrade (the built program) tries its rename again, logging
// each try. Held for good, the run ends as "in use" with the old file whole and nothing of ours
// beside it; let go after the third try, the upgrade succeeds. While the file is held, the old
// program is kept under a second name.
TEST_F(InstallTest, ASilentUpgradeWaitsForAFileHeldForAMoment) {
    const std::string target = kApp + "\\ivoxcc.exe", log = kOther + "\\upgrade.log";
    const std::string retry = "Tệp " + target + " đang bận, thử lại lần ";
    // The program is built beside the tests: <build>\app\Setup_iVOX.exe.
    wchar_t self[MAX_PATH];
    std::wstring line(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    line.resize(line.find_last_of(L'\\'));
    line = L"\"" + line.substr(0, line.find_last_of(L'\\')) +
           L"\\app\\Setup_iVOX.exe\" /SILENT /DIR=" + Wide(kApp) + L" /LOG=" + Wide(log);
    for (const bool letGo : {false, true}) {
        SCOPED_TRACE(letGo ? "let go" : "held");
        Write(target, "the old program");
        platform::RemoveFile(log);
        HANDLE held =
            CreateFileW(Wide(target).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        std::wstring command = line;
        ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &si, &pi));
        std::string kept;
        while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
            if (ReadShared(log).find(retry + "3") == std::string::npos) continue;
            for (const std::string& name : FilesIn(kApp))
                if (name.find("~SetupIVOX") == 0 && name.find(".old") != std::string::npos)
                    kept = ReadShared(kApp + "\\" + name);
            if (letGo) break;
        }
        CloseHandle(held);
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hProcess);
        CloseHandle(pi.hThread);

        const std::string text = ReadShared(log);
        EXPECT_EQ(code, letGo ? 0u : unsigned(admin::kExitProductRunning)) << text;
        EXPECT_NE(text.find(retry + "2"), std::string::npos) << text;
        EXPECT_EQ(kept, "the old program");
        const std::string now = ReadAll(target);
        EXPECT_TRUE(now == (letGo ? Entry("cacfile", "ivoxcc.exe") : "the old program"));
        for (const std::string& folder : {kApp, platform::SystemFolder32()})
            for (const std::string& name : FilesIn(folder))
                EXPECT_EQ(name.find("~SetupIVOX"), std::string::npos) << name;
    }
}
#endif

// An upgrade on a drive too small for the new program (drive S:, which tools/small-drive.sh
// maps for the Windows tests): the old files stay whole and working, the box names the file,
// nothing of ours is left on the drive.
TEST_F(InstallTest, AnUpgradeOnADriveTooSmallForItKeepsTheOldFiles) {
    if (!SmallDrive('S', "48k")) return;
    const std::string app = "S:\\Solvenza";
    platform::MakeFolder(app);
    Write(app + "\\ivoxcc.exe", "the old program");
    Write(app + "\\voxTram.exe", "the old station");
    TuUpd* w = RunInstall(app);
    ExpectRestoredAfter(w, U("Không ghi được tệp S:\\Solvenza\\ivoxcc.exe."));
    EXPECT_EQ(ReadAll(app + "\\ivoxcc.exe"), "the old program");
    EXPECT_EQ(ReadAll(app + "\\voxTram.exe"), "the old station");
    EXPECT_EQ(FilesIn(app), (std::set<std::string>{"ivoxcc.exe", "voxTram.exe"}));
    ExpectNothingInstalled();
    fs::remove_all(platform::HostPath(app));
    testing_machine::RemoveSmallTestDrive('S');
}

// A file of the server tree that cannot be written, where no program holds it, is named and the
// install ends as a failed write (exit code 5): not as a damaged payload, and not as a file in
// use kept for the success box. Here a folder stands where a file of the tree goes.
TEST_F(InstallTest, AServerTreeFileThatCannotBeReplacedIsNamedNotKept) {
    const std::string library = kApp + "\\Firebird-2.1.1.1\\bin\\fbclient.dll";
    ASSERT_TRUE(fs::create_directories(platform::HostPath(library + "\\in the way")));
    ExpectTreeNotWritten(RunInstall(),
                         U("Không ghi được tệp ") + platform::AnsiToUtf16(library) + u".", true);
    // The installers were not started on that tree: nothing will write their marker.
    platform::RemoveFile(kApp + "\\Firebird-2.1.1.1\\bin\\install_super.bat");
}

// The extraction's empty probe of the application folder, left by a run killed between its
// creation and its deletion, goes at the next start; files of other names or with content stay.
TEST_F(InstallTest, TheNextStartRemovesAnEmptyFolderProbeAndNothingElse) {
    for (const char* probe : {"tmp1A2B.TMP", "TMPF.tmp", "tmpnote.TMP", "tmp12345.TMP"})
        Write(kApp + "\\" + probe, "");
    Write(kApp + "\\tmp1A2C.TMP", "notes of the user's");
    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    ASSERT_EQ(w->Edit_AppPath->Text(), platform::AnsiToUtf16(kApp));
    EXPECT_EQ(FilesIn(kApp),
              (std::set<std::string>{"tmp1A2C.TMP", "tmpnote.TMP", "tmp12345.TMP"}));
}

// The same for a server tree that does not fit on its drive (T:, which holds the product files
// but not the tree): the file that did not fit is named, and the run ends with exit code 5.
TEST_F(InstallTest, AServerTreeOnADriveTooSmallForItIsNamedNotKept) {
    if (!SmallDrive('T', "192k")) return;
    const std::string app = "T:\\Solvenza";
    platform::MakeFolder(app);
    ExpectTreeNotWritten(RunInstall(app), U("Không ghi được tệp T:\\Solvenza\\Firebird-2.1.1.1\\"),
                         false);
    fs::current_path(startFolder);  // the extraction made the tree's folder the current one
    std::error_code ec;
    fs::remove_all(platform::HostPath(app), ec);
    testing_machine::RemoveSmallTestDrive('T');
}

// The payload's entry did not come out (here: the wrong password); the program there before
// must still be there, not an empty file in its place.
TEST_F(InstallTest, AnEntryThatDidNotComeOutLeavesTheInstalledProgramAlone) {
    Write(kApp + "\\ivoxcc.exe", "the working program");
    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    w->ZipBuilder1->DLLDirectory = EngineFolder();
    w->ZipBuilder1->Unattended = true;
    w->ZipBuilder1->SetOnPasswordError([](ui::Component*, bool, std::string& password,
                                          const std::string&, uint32_t&,
                                          archive::TMsgDlgBtn&) { password = "not the password"; });
    w->bt_NangCap->Click();

    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_NE(backend->boxes[0].text.find(u"ivoxcc.exe"), std::u16string::npos);
    EXPECT_EQ(backend->boxes[0].Icon(), unsigned(ui::kMbIconError));
    EXPECT_TRUE(w->Edit_AppPath->Visible());
    EXPECT_EQ(ReadAll(kApp + "\\ivoxcc.exe"), "the working program");
    EXPECT_EQ(runlog::ExitCode(), admin::kExitPayloadDamaged);
    EXPECT_EQ(FilesIn(kApp), std::set<std::string>{"ivoxcc.exe"});
    EXPECT_FALSE(ProductKeyExists());
}

// The user's own shortcut, even where the install puts its own for all users: it stays as it
// was, and no second one appears beside it.
TEST_F(InstallTest, AnExistingDesktopShortcutStaysAsItWas) {
    ASSERT_EQ(
        CreateShortcutInSpecialFolder(nullptr, "C:\\Other\\other.exe", "", "", 0,
                                      "Solvenza Quillora", platform::kCsidlDesktop, true, nullptr),
        UserDesktopLink());
    const std::string before = ReadAll(UserDesktopLink());
    RunInstall();
    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, U("Cài đặt hoàn tất !!!"));
    EXPECT_EQ(ReadAll(UserDesktopLink()), before);
    if (platform::ShortcutsForAllUsers()) {
        EXPECT_FALSE(platform::FileExists(DesktopLink()));
    }
    EXPECT_TRUE(platform::FileExists(ProgramsLink()));
}

TEST(InstallPassword, EveryRequestGetsTheSamePasswordAndNothingElseChanges) {
    ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    for (uint32_t repeat : {0u, 1u, 7u, 15u}) {
        std::string password = "typed";
        uint32_t count = repeat;
        archive::TMsgDlgBtn action = archive::mbCancel;
        w->ZipBuilder1PasswordError(w->ZipBuilder1, repeat % 2 == 0, password, "ivoxcc.exe", count,
                                    action);
        EXPECT_EQ(password, "Qu1ll0ra#2010");
        EXPECT_EQ(count, repeat);
        EXPECT_EQ(action, archive::mbCancel);
    }
    ui::Application::Instance().Shutdown();
}

}  // namespace

#endif  // SETUP_ENGINE_DIR
