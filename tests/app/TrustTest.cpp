// What an ordinary user can plant where the elevated setup works (folders that are not local,
// links in the server tree, in place of the log or the temporary folder), and what the setup
// closes to users. Under Wine, which keeps no access lists, the list each protected file is
// given is checked; POSIX hosts check the real modes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

#include "app/AdminRun.h"
#include "app/CommandLine.h"
#include "app/InstalledProgram.h"
#include "app/RunLog.h"
#include "app/RunTemp.h"
#include "app/uUpd.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Protection.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"
#include "tests/support/ChildProcess.h"
#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(SETUP_ENGINE_DIR)

namespace {

namespace fs = std::filesystem;

const std::string kApp = "C:\\TrustTest";
const std::string kTree = kApp + "\\Firebird-2.1.1.1";

std::string EngineFolder() {
    std::string folder = "Z:" + std::string(SETUP_ENGINE_DIR);
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

[[maybe_unused]] std::u16string WriteFailure(const std::string& path) {
    return platform::Utf8ToUtf16("Không ghi được tệp ") + platform::AnsiToUtf16(path) + u".";
}

// Every file and folder below a host folder with its content (folders as "/"), links unfollowed.
[[maybe_unused]] std::map<std::string, std::string> Listing(const std::string& hostFolder) {
    std::map<std::string, std::string> out;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(hostFolder, ec)) {
        std::string content = "/";
        if (e.is_symlink())
            content = "-> " + fs::read_symlink(e.path(), ec).string();
        else if (e.is_regular_file()) {
            std::ifstream in(e.path(), std::ios::binary);
            content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        out[e.path().string()] = content;
    }
    return out;
}

class TrustTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clean();
        platform::MakeFolder(kApp);  // under Wine a tree the installers still hold may stay
        startFolder = fs::current_path();
        Start();
        platform::SetProtectionObserver(
            [this](const std::string& path, const std::string& sddl) { protectedWith[path] = sddl; });
    }
    void TearDown() override {
        platform::SetProtectionObserver({});
        ui::Application::Instance().Shutdown();
        runtemp::Remove();
        fs::current_path(startFolder);
        Clean();
    }
    void Start() {
        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
    }
    void Restart() {
        ui::Application::Instance().Shutdown();
        Start();
    }
    static void Clean() {
        testing_machine::WaitForLaunchedScript(kTree + "\\bin\\");
        testing_machine::RemoveFolderWhenFree(kApp);
        // The shortcuts the installs made, so the shortcut tests later in the run find none.
        const std::string link = std::string("Solvenza Quillora") + platform::ShortcutExtension();
        for (const int csidl : {platform::kCsidlDesktop, platform::kCsidlCommonDesktopDirectory,
                                platform::kCsidlPrograms, platform::kCsidlCommonPrograms}) {
            std::string folder;
            if (!platform::GetSpecialFolderPath(csidl, folder)) continue;
            platform::RemoveFile(folder + "\\" + link);
            platform::RemoveFile(folder + "\\Solvenza\\" + link);
            platform::RemoveFolder(folder + "\\Solvenza");
        }
        platform::DeleteKeyTree(platform::RegRoot::LocalMachine, TuUpd::kProductKey,
                                TuUpd::kProductView);
        platform::DeleteKeyTree(platform::RegRoot::LocalMachine, installed::kUninstallKey,
                                TuUpd::kProductView);
    }
    TuUpd* RunInstall(const std::u16string& folder) {
        backend->boxes.clear();
        TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
        w->ZipBuilder1->DLLDirectory = EngineFolder();
        w->Edit_AppPath->UserEditedText(folder);
        w->bt_NangCap->Click();
        return w;
    }
    std::u16string OnlyBox() {
        EXPECT_EQ(backend->boxes.size(), 1u);
        return backend->boxes.empty() ? u"" : backend->boxes.front().text;
    }

    ui::HeadlessBackend* backend = nullptr;
    fs::path startFolder;
    std::map<std::string, std::string> protectedWith;
};

// A folder that is not a local folder of its own is refused alike by the window's button (the
// folder box) and by /DIR (exit code 2), before anything is written.
TEST_F(TrustTest, SharesDevicePathsRootsAndDeviceNamesAreNoApplicationFolder) {
    for (const char16_t* folder :
         {u"\\\\server\\share", u"\\\\server\\share\\Apps", u"\\\\?\\C:\\Apps", u"\\\\.\\C:\\Apps",
          u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\Apps", u"C:", u"C:\\", u"D:\\",
          u"C:\\CON", u"C:\\Apps\\nul.txt", u"C:\\COM1", u"C:\\lpt1.log\\x", u"C:\\AUX",
          u"C:\\Apps\\PRN ", u"Solvenza", u""}) {
        const std::string utf8 = platform::Utf16ToUtf8(folder);
        SCOPED_TRACE(utf8);
        std::u16string field = folder;  // as the field takes it, trailing backslashes off
        while (!field.empty() && field.back() == u'\\') field.pop_back();
        const std::string problem = admin::FolderProblem(field);
        ASSERT_NE(problem, "");
        RunInstall(folder);
        EXPECT_EQ(OnlyBox(), platform::Utf8ToUtf16(problem));
        EXPECT_EQ(runlog::ExitCode(), admin::kExitFolderUnusable);
        if (utf8.empty()) continue;  // "/DIR=" is a bad command line
        admin::Run run({"/SILENT", "/DIR=" + utf8});
        EXPECT_TRUE(run.Ended());
        EXPECT_EQ(runlog::ExitCode(), admin::kExitFolderUnusable);
    }
    EXPECT_TRUE(protectedWith.empty());
}

// Every program the setup places and the whole server tree get the protected list, on the
// first install and on the upgrade over what an earlier install left open.
TEST_F(TrustTest, ProgramsAndTheServerTreeOnlyAdministratorsMayChange) {
    EXPECT_EQ(platform::ProtectedSddl(),
              "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
    EXPECT_EQ(platform::PrivateSddl(), "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)");
#if !defined(_WIN32)
    // An open folder and a umask that takes nothing away: the modes are set, not inherited.
    ASSERT_EQ(chmod(platform::HostPath(kApp).c_str(), 0777), 0);
    const mode_t mask = umask(0);
#endif
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "install" : "upgrade");
        // The upgrade replaces the script the install started, once that has let it go.
        if (run == 1) testing_machine::WaitForLaunchedScript(kTree + "\\bin\\");
        protectedWith.clear();
        RunInstall(platform::AnsiToUtf16(kApp));
        EXPECT_EQ(OnlyBox(), platform::Utf8ToUtf16("Cài đặt hoàn tất !!!"));
        std::set<std::string> expected = {kApp + "\\ivoxcc.exe", kApp + "\\voxTram.exe",
                                          kApp + "\\" + installed::kSetupCopyName, kTree};
        std::error_code ec;
        const std::string hostTree = platform::HostPath(kTree);
        for (const auto& e : fs::recursive_directory_iterator(hostTree, ec)) {
            std::string rest = e.path().string().substr(hostTree.size());
            for (char& c : rest)
                if (c == '/') c = '\\';
            // The marker that the launched service script writes comes after the setup.
            if (rest.size() < 5 || rest.substr(rest.size() - 5) != ".done") expected.insert(kTree + rest);
        }
        ASSERT_GT(expected.size(), 10u);
        for (const std::string& path : expected) {
            SCOPED_TRACE(path);
            // What the extraction made inside the closed tree took the tree's list on.
            if (platform::NewFilesTakeFolderProtection() && path.rfind(kTree + "\\", 0) == 0 &&
                !protectedWith.count(path))
                continue;
            ASSERT_EQ(protectedWith.count(path), 1u);
            EXPECT_EQ(protectedWith[path], platform::ProtectedSddl());
#if !defined(_WIN32)
            struct stat st;
            ASSERT_EQ(lstat(platform::HostPath(path).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & (S_IWGRP | S_IWOTH), 0u);
            EXPECT_EQ(st.st_uid, geteuid());
            // Left open as an earlier install may have left it: the upgrade closes it again.
            chmod(platform::HostPath(path).c_str(), 0777);
#endif
        }
        Restart();
    }
#if !defined(_WIN32)
    umask(mask);
    // The folder's own list stays as it was: users may keep writing their data there.
    struct stat st;
    ASSERT_EQ(stat(platform::HostPath(kApp).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u);
#endif
}

// The log is always a new file: one that is there, or a link there, is never written over.
TEST_F(TrustTest, TheLogIsANewFileBesideOneThatIsThere) {
    const std::string earlier = platform::HostPath(kApp) + "/earlier";
    std::ofstream(earlier) << "an earlier log";
    std::error_code ec;
    fs::copy_file(earlier, platform::HostPath(kApp + "\\setup.log"), ec);
#if !defined(_WIN32)
    fs::create_symlink(earlier, platform::HostPath(kApp + "\\link.log"), ec);
    for (const char* name : {"setup", "link"}) {
#else
    for (const char* name : {"setup"}) {
#endif
        std::string opened;
        ASSERT_EQ(runlog::Open(kApp + "\\" + name + ".log", opened), runlog::OpenResult::kOpened);
        runlog::Line("x");
        runlog::Close();
        EXPECT_EQ(opened, kApp + "\\" + name + ".1.log");
    }
    for (const char* file : {"earlier", "setup.log"}) {
        std::ifstream in(platform::HostPath(kApp) + "/" + file);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "an earlier log") << file;
    }
}

#if !defined(_WIN32)

// Links an ordinary user planted where the setup writes, a loop of links in the server tree
// among them (the start's recovery walk must not hang on it): nothing is written through any,
// the run ends with a clear error, nothing outside the prefix changes.
TEST_F(TrustTest, NothingIsWrittenThroughAPlantedLink) {
    char outsideName[] = "/tmp/trust-outside-XXXXXX";
    ASSERT_NE(mkdtemp(outsideName), nullptr);
    const std::string outside = outsideName;
    std::ofstream(outside + "/victim") << "the user's file";
    const std::string temp = platform::TempFolder();
    const std::string hostTemp = platform::HostPath(temp.substr(0, temp.size() - 1));
    struct Planted {
        std::string link;  // host path of the link
        std::string target;
        std::string refused;  // the path the error names
    };
    const Planted planted[] = {
        {platform::HostPath(kTree + "\\bin"), outside, kTree + "\\bin"},
        {platform::HostPath(kTree), outside, kTree},
        {hostTemp, outside, temp},
        {platform::HostPath(kTree + "\\bin\\loop"), platform::HostPath(kTree),
         kTree + "\\bin\\loop"},
    };
    for (const Planted& p : planted) {
        SCOPED_TRACE(p.refused);
        runtemp::Remove();
        Clean();
        ASSERT_TRUE(platform::MakeFolder(kApp));
        const std::map<std::string, std::string> before = Listing(outside);
        std::error_code ec;
        const fs::path saved = hostTemp + ".saved";
        if (p.link == hostTemp)
            fs::rename(hostTemp, saved, ec);
        else
            fs::create_directories(fs::path(p.link).parent_path(), ec);
        ASSERT_FALSE(ec);
        fs::create_directory_symlink(p.target, p.link, ec);
        ASSERT_FALSE(ec);
        RunInstall(platform::AnsiToUtf16(kApp));
        EXPECT_EQ(OnlyBox(), WriteFailure(p.refused));
        EXPECT_EQ(runlog::ExitCode(), admin::kExitOtherFailure);
        EXPECT_EQ(Listing(outside), before);
        EXPECT_FALSE(platform::FileExists(kTree + "\\bin\\fbserver.exe"));
        if (p.link == hostTemp) {
            fs::remove(hostTemp, ec);
            fs::rename(saved, hostTemp, ec);
        }
        Restart();
    }
    std::error_code ec;
    fs::remove_all(outside, ec);
}

#endif

}  // namespace

#endif
