// Entry point of Setup_iVOX: the application object, the setup window, the message loop.
#include "app/uUpd.h"
#include "platform/Modules.h"
#include "ui/Application.h"

int main() {
    // Before any library loads by name: none planted beside the program may stand in for it.
    platform::RestrictModuleSearch();
    ui::Application& app = ui::Application::Instance();
    try {
        app.Initialize(ui::CreateNativeBackend());
        app.CreateForm<TuUpd>();
        app.Run();
    } catch (const ui::Exception& e) {
        app.ShowException(e);
    } catch (...) {
        // Any other thrown object is shown as a framework error with an empty message.
        app.ShowException(ui::Exception());
    }
    app.Shutdown();
    return 0;
}
