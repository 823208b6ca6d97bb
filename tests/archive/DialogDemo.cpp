// Shows the archive component's dialog box on the screen, for screenshots and for trying it by
// hand. The exit code is the dialog's modal result; the password kind also prints what was
// typed when the answer is OK.
//
//   setup_dialog_demo --error       an error report: kind error, OK only
//   setup_dialog_demo --password    the extract password prompt: OK, Cancel and CancelAll
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/Zbdlg.h"
#include "archive/Zbmsgstr.h"
#include "platform/Text.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    using namespace archive;
    const bool password = argc > 1 && std::strcmp(argv[1], "--password") == 0;
    if (argc != 2 || (!password && std::strcmp(argv[1], "--error") != 0)) {
        std::fprintf(stderr, "usage: setup_dialog_demo --error | --password\n");
        return 64;
    }
    ui::Application& app = ui::Application::Instance();
    int result = 0;
    try {
        app.Initialize(ui::CreateNativeBackend());
        if (password) {
            std::string text = ZipLoadStr(kMsgEnterPassword);
            result = ShowZipDialogBox(ZipLoadStr(kMsgPasswordTitle), text,
                                      DlgButton(mbOK) | DlgButton(mbCancel) | DlgButton(mbAll),
                                      zmtPassword | kContextExtractPassword);
            if (result == mrOk) std::printf("password: %s\n", text.c_str());
        } else {
            std::string text = ZipLoadStr(kMsgNoZipFile);
            result = ShowZipDialogBox(platform::Utf16ToAnsi(app.Title()), text, DlgButton(mbOK),
                                      zmtError | kContextException);
        }
    } catch (const ui::Exception& e) {
        std::fprintf(stderr, "setup_dialog_demo: %s\n", e.Message().c_str());
        result = 70;
    }
    std::printf("modal result: %d\n", result);
    std::fflush(stdout);
    app.Shutdown();
    return result;
}
