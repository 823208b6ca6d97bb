// Entry point of Setup_iVOX: the application object, the setup window, the message loop.
#include "app/uUpd.h"
#include "ui/Application.h"

int main() {
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
