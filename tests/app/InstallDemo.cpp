// Runs the install on the screen, for screenshots of the window while the payload comes out and
// of the box that reports the result. The setup window is the real one on the real backend; the
// program presses its action button itself once the window is up.
//
// Extracting the demo payload takes milliseconds, so the program holds the extraction at one
// moment: when the first entry of the server tree starts (the three product files are in place
// and the bar shows 3), the progress handler it adds to the archive component writes PAUSE\paused
// with what the window shows, then keeps the window painting until PAUSE\continue appears (or
// two minutes have passed). Every message box is printed with its answer; the exit code is the
// answer of the last box when the window closed after it, 3 when it did not, 4 when the pause
// was never reached or timed out, 70 on an error of the program itself.
//
//   setup_install_demo --pause PAUSE   installs into C:\Solvenza (the install makes it)
//   setup_install_demo --remove        removes what an install put on the machine
//
// PAUSE is a Windows path (Z:\tmp\... reaches a host folder on both targets).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "app/uUpd.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "tests/support/ChildProcess.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const std::string kApp = TuUpd::kDefaultFolder;
const char* const kServerFolder = "Firebird-2.1.1.1";
constexpr auto kPauseLimit = std::chrono::minutes(2);

std::string EngineFolder() {
    std::string folder = "Z:" + std::string(SETUP_ENGINE_DIR);
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

std::string Utf8(const std::u16string& text) {
    return platform::Utf16ToUtf8(text);
}

// The native backend, with every message box printed as it is answered.
class PrintingBackend : public ui::Backend {
public:
    explicit PrintingBackend(std::unique_ptr<ui::Backend> inner) : inner_(std::move(inner)) {}

    int lastAnswer = 0;
    int boxes = 0;

    std::unique_ptr<ui::Peer> CreatePeer(ui::Control& c) override { return inner_->CreatePeer(c); }
    void WaitForEvents() override { inner_->WaitForEvents(); }
    void ProcessMessages() override { inner_->ProcessMessages(); }
    void Wake() override { inner_->Wake(); }
    int ShowMessageBox(ui::Form* owner, const std::u16string& text, const std::u16string& caption,
                       unsigned flags) override {
        std::printf("box shown: caption \"%s\", flags 0x%02x, text \"%s\"\n", Utf8(caption).c_str(),
                    flags, Utf8(text).c_str());
        std::fflush(stdout);
        lastAnswer = inner_->ShowMessageBox(owner, text, caption, flags);
        ++boxes;
        std::printf("box answered: %d\n", lastAnswer);
        std::fflush(stdout);
        return lastAnswer;
    }
    void SetCursor(int cursor) override { inner_->SetCursor(cursor); }
    void BeginModal(ui::Form& form) override { inner_->BeginModal(form); }
    void EndModal(ui::Form& form) override { inner_->EndModal(form); }
    void MessageSound(unsigned icon) override { inner_->MessageSound(icon); }
    ui::Font MessageFont() override { return inner_->MessageFont(); }
    ui::Size MeasureText(const ui::Font& font, const std::u16string& text, int wrapWidth,
                         bool prefix) override {
        return inner_->MeasureText(font, text, wrapWidth, prefix);
    }
    ui::Size ScreenSize() override { return inner_->ScreenSize(); }
    ui::Size FrameSize(const ui::Form& form) override { return inner_->FrameSize(form); }
    int EditHeight(const ui::Font& font) override { return inner_->EditHeight(font); }

private:
    std::unique_ptr<ui::Backend> inner_;
};

// Keeps the window painting for about `ms` milliseconds.
void Pump(int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
        ui::Application::Instance().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

enum class Pause { NotReached, Held, TimedOut };

// Holds the extraction once, at the start of the server tree's first entry.
class PauseAtServerTree {
public:
    PauseAtServerTree(TuUpd& window, std::string folder) : w_(window), folder_(std::move(folder)) {}

    Pause State() const { return state_; }

    void OnProgress(archive::ProgressType type, const std::string& item) {
        if (type != archive::ptItemStart || state_ != Pause::NotReached) return;
        if (item.compare(0, std::strlen(kServerFolder), kServerFolder) != 0) return;
        const std::string what = "paused at " + platform::Utf16ToUtf8(platform::AnsiToUtf16(item)) +
                                 ": bar " + std::to_string(w_.ProgressBar1->Position()) +
                                 (w_.ProgressBar1->Visible() ? " shown" : " hidden") +
                                 ", folder field " +
                                 (w_.Edit_AppPath->Visible() ? "shown" : "hidden") +
                                 ", status line \"" + Utf8(w_.lbl_ThongBao->Caption()) + "\"\n";
        std::printf("%s", what.c_str());
        std::fflush(stdout);
        Pump(300);  // the bar's and the label's last changes on the screen first
        std::ofstream(platform::HostPath(folder_ + "\\paused"), std::ios::binary) << what;
        const std::string go = folder_ + "\\continue";
        const auto limit = Clock::now() + kPauseLimit;
        while (!platform::FileExists(go) && Clock::now() < limit) Pump(50);
        state_ = platform::FileExists(go) ? Pause::Held : Pause::TimedOut;
        std::printf("%s\n", state_ == Pause::Held ? "continued" : "pause timed out");
        std::fflush(stdout);
    }

private:
    TuUpd& w_;
    std::string folder_;
    Pause state_ = Pause::NotReached;
};

std::set<std::string> FilesIn(const std::string& windowsFolder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(platform::HostPath(windowsFolder), ec))
        names.insert(e.path().filename().string());
    return names;
}

int Install(const std::string& pauseFolder) {
    ui::Application& app = ui::Application::Instance();
    const std::set<std::string> tempBefore = FilesIn(platform::TempFolder());
    auto printing = std::make_unique<PrintingBackend>(ui::CreateNativeBackend());
    PrintingBackend* backend = printing.get();
    app.Initialize(std::move(printing));

    TuUpd* w = app.CreateForm<TuUpd>();
    w->ZipBuilder1->DLLDirectory = EngineFolder();
    PauseAtServerTree pause(*w, pauseFolder);
    w->ZipBuilder1->SetOnProgress([&pause](ui::Component*, archive::ProgressType type,
                                           const std::string& item,
                                           int64_t) { pause.OnProgress(type, item); });
    w->Show();
    Pump(500);
    if (!w->Radio1->Checked()) {
        std::fprintf(stderr, "setup_install_demo: install is not the chosen action\n");
        return 70;
    }
    w->bt_NangCap->Click();  // returns once the box that ends the sequence has been answered
    const bool closed = app.Terminated();
    app.ProcessMessages();

    // The product archive's copy the sequence leaves in the temporary folder.
    for (const std::string& name : FilesIn(platform::TempFolder()))
        if (!tempBefore.count(name)) platform::RemoveFile(platform::TempFolder() + name);

    if (pause.State() != Pause::Held) return 4;
    if (!closed || backend->boxes == 0) return 3;
    return backend->lastAnswer;
}

// What an install leaves: the folder and its tree, the client library in the system folder,
// both shortcuts and the product key. True when all of it is gone.
bool Remove() {
    const std::string bin = kApp + "\\" + kServerFolder + "\\bin\\";
    testing_machine::WaitForLaunchedScript(bin);
    // A program the install started holds its working folder until it ends.
    bool gone = testing_machine::RemoveFolderWhenFree(kApp);
    platform::RemoveFile(platform::SystemFolder32() + "\\gds32.dll");
    const std::string link = std::string("Solvenza Quillora") + platform::ShortcutExtension();
    // The user's and, from an elevated install, the all-users shortcuts.
    std::string folder;
    for (int desktop : {platform::kCsidlDesktop, platform::kCsidlCommonDesktopDirectory})
        if (platform::GetSpecialFolderPath(desktop, folder))
            platform::RemoveFile(folder + "\\" + link);
    for (int programs : {platform::kCsidlPrograms, platform::kCsidlCommonPrograms})
        if (platform::GetSpecialFolderPath(programs, folder)) {
            platform::RemoveFile(folder + "\\Solvenza\\" + link);
            platform::RemoveFolder(folder + "\\Solvenza");
        }
    platform::DeleteKeyTree(platform::RegRoot::LocalMachine, TuUpd::kProductKey,
                            TuUpd::kProductView);
    platform::RegKey key;
    gone = gone && key.Open(platform::RegRoot::LocalMachine, TuUpd::kProductKey, false,
                            TuUpd::kProductView) != platform::kRegOk;
    std::printf("removed%s\n", gone ? "" : " only in part");
    return gone;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--remove") == 0) return Remove() ? 0 : 1;
    if (argc != 3 || std::strcmp(argv[1], "--pause") != 0) {
        std::fprintf(stderr, "usage: setup_install_demo --pause FOLDER | --remove\n");
        return 64;
    }
    int result = 0;
    try {
        result = Install(argv[2]);
    } catch (const ui::Exception& e) {
        std::fprintf(stderr, "setup_install_demo: %s\n", e.Message().c_str());
        result = 70;
    }
    std::printf("exit code: %d\n", result);
    std::fflush(stdout);
    ui::Application::Instance().Shutdown();
    return result;
}
