// Entry point of Setup_iVOX: the application object, the setup window, the message loop. The
// command line (see app/CommandLine.h) may ask for the usage, a folder, the uninstall, a log,
// or a run without a window; the exit code says how the run ended.
#include "app/AdminRun.h"
#include "app/uUpd.h"
#include "platform/Console.h"
#include "platform/Modules.h"
#include "ui/Application.h"

int main(int argc, char** argv) {
    // Before any library loads by name: none planted beside the program may stand in for it.
    platform::RestrictModuleSearch();
    ui::Application& app = ui::Application::Instance();
    admin::Run run(platform::ProgramArguments(argc, argv));
    if (run.Ended()) return run.Finish();
    try {
        app.Initialize(run.Backend(ui::CreateNativeBackend));
        TuUpd* window = app.CreateForm<TuUpd>();
        if (run.Start(*window)) app.Run();
    } catch (const ui::Exception& e) {
        app.ShowException(e);
    } catch (...) {
        // Any other thrown object is shown as a framework error with an empty message.
        app.ShowException(ui::Exception());
    }
    app.Shutdown();
    return run.Finish();
}
