// Shows the real setup window on the real backend and checks its geometry against the dpi it is
// told the screen has: the client area is the description's 467 x 316 scaled from 96 dpi (within
// 2 pixels), and every control lies within it; the same after the window is told it has moved
// to a monitor of another dpi (WM_DPICHANGED), and again after it is told it is back. Prints one
// line per fault and "ready WxH" once the window is up, then keeps it painting until the
// Windows path HOLD exists (for a picture of it) or a minute has passed. Exit code 0 when the
// geometry is right, 1 when not, 70 on an error.
//
//   setup_dpi_probe DPI HOLD
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "app/uUpd.h"
#include "platform/Files.h"
#include "ui/Application.h"

namespace {

constexpr int kClientWidth = 467, kClientHeight = 316;

// The faults of the window at `dpi`, each printed: its client area and every control in it.
int CheckWindow(const TuUpd& w, HWND form, int dpi) {
    RECT client;
    GetClientRect(form, &client);
    const int width = MulDiv(kClientWidth, dpi, 96), height = MulDiv(kClientHeight, dpi, 96);
    int faults = std::abs(client.right - width) > 2 || std::abs(client.bottom - height) > 2;
    if (faults)
        std::printf("%d dpi: the client area is %ldx%ld, expected %dx%d\n", dpi, client.right,
                    client.bottom, width, height);
    // `origin`: where the description puts the parent's top-left corner in the form.
    std::function<void(const ui::Control&, POINT)> controls = [&](const ui::Control& parent,
                                                                  POINT origin) {
        for (const ui::Control* c : parent.Children()) {
            const POINT at{origin.x + c->Left(), origin.y + c->Top()};
            RECT r;
            if (HWND hwnd = static_cast<HWND>(c->Handle()); hwnd && GetWindowRect(hwnd, &r)) {
                MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
                // A rule the description runs past an edge of the window is cut off there.
                if ((r.left < client.left && at.x >= 0) || (r.top < client.top && at.y >= 0) ||
                    (r.right > client.right && at.x + c->Width() <= kClientWidth) ||
                    (r.bottom > client.bottom && at.y + c->Height() <= kClientHeight)) {
                    std::printf("%d dpi: %s at %ld,%ld-%ld,%ld leaves the client area %ldx%ld\n",
                                dpi, c->Name().c_str(), r.left, r.top, r.right, r.bottom,
                                client.right, client.bottom);
                    ++faults;
                }
            }
            controls(*c, at);
        }
    };
    controls(w, POINT{0, 0});
    return faults;
}

// What Windows does when the window is dragged onto a monitor of another dpi: WM_DPICHANGED
// with the new dpi and a proposed window rectangle (the same frame around the scaled client).
void MoveToMonitorOfDpi(HWND form, int dpi) {
    RECT window, client;
    GetWindowRect(form, &window);
    GetClientRect(form, &client);
    const int frameX = (window.right - window.left) - client.right;
    const int frameY = (window.bottom - window.top) - client.bottom;
    RECT proposed{window.left, window.top, window.left + MulDiv(kClientWidth, dpi, 96) + frameX,
                  window.top + MulDiv(kClientHeight, dpi, 96) + frameY};
    SendMessageW(form, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&proposed));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: setup_dpi_probe DPI HOLD\n");
        return 70;
    }
    const int dpi = std::atoi(argv[1]);
    const std::string hold = argv[2];
    try {
        ui::Application& app = ui::Application::Instance();
        app.Initialize(ui::CreateNativeBackend());
        TuUpd* w = app.CreateForm<TuUpd>();
        w->Show();
        HWND form = static_cast<HWND>(w->Handle());
        // As shown, then onto a monitor of another dpi and back: the window follows each time.
        int faults = 0;
        for (const int at : {0, dpi == 96 ? 144 : 96, dpi}) {
            if (at) MoveToMonitorOfDpi(form, at);
            app.ProcessMessages();
            faults += CheckWindow(*w, form, at ? at : dpi);
        }
        RECT client;
        GetClientRect(form, &client);
        std::printf("ready %ldx%ld\n", client.right, client.bottom);
        std::fflush(stdout);
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!platform::FileExists(hold) && std::chrono::steady_clock::now() < until) {
            app.ProcessMessages();
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return faults ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "setup_dpi_probe: %s\n", e.what());
        return 70;
    }
}
