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
#include <string>
#include <thread>

#include "app/uUpd.h"
#include "platform/Files.h"
#include "ui/Application.h"

namespace {

constexpr int kClientWidth = 467, kClientHeight = 316;

// How many faults the controls below `parent` (whose top-left corner the description puts at
// `origin` in the form) have at client size `client`.
int CheckControls(const ui::Control& parent, POINT origin, HWND form, const RECT& client, int dpi) {
    int faults = 0;
    for (const ui::Control* c : parent.Children()) {
        const POINT at{origin.x + c->Left(), origin.y + c->Top()};
        if (HWND hwnd = static_cast<HWND>(c->Handle())) {
            RECT r;
            GetWindowRect(hwnd, &r);
            MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
            // A rule the description runs past an edge of the window is cut off there by design.
            const bool inside = (r.left >= client.left || at.x < 0) &&
                                (r.top >= client.top || at.y < 0) &&
                                (r.right <= client.right || at.x + c->Width() > kClientWidth) &&
                                (r.bottom <= client.bottom || at.y + c->Height() > kClientHeight);
            if (!inside) {
                std::printf("%d dpi: %s at %ld,%ld-%ld,%ld leaves the client area %ldx%ld\n", dpi,
                            c->Name().c_str(), r.left, r.top, r.right, r.bottom, client.right,
                            client.bottom);
                ++faults;
            }
        }
        faults += CheckControls(*c, at, form, client, dpi);
    }
    return faults;
}

// The faults of the window at `dpi`: its client area and its controls.
int CheckWindow(const TuUpd& w, HWND form, int dpi) {
    RECT client;
    GetClientRect(form, &client);
    int faults = 0;
    const int width = MulDiv(kClientWidth, dpi, 96), height = MulDiv(kClientHeight, dpi, 96);
    if (std::abs(client.right - width) > 2 || std::abs(client.bottom - height) > 2) {
        std::printf("%d dpi: the client area is %ldx%ld, expected %dx%d\n", dpi, client.right,
                    client.bottom, width, height);
        ++faults;
    }
    return faults + CheckControls(w, POINT{0, 0}, form, client, dpi);
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
        app.ProcessMessages();
        HWND form = static_cast<HWND>(w->Handle());
        int faults = CheckWindow(*w, form, dpi);
        // Onto a monitor of another dpi and back: the window follows each time.
        const int other = dpi == 96 ? 144 : 96;
        MoveToMonitorOfDpi(form, other);
        app.ProcessMessages();
        faults += CheckWindow(*w, form, other);
        MoveToMonitorOfDpi(form, dpi);
        app.ProcessMessages();
        faults += CheckWindow(*w, form, dpi);
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
