// A backend without widgets, for tests: peers do nothing, message boxes are recorded and
// answered by a responder the test sets (by default: the first button, OK or Yes).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/Application.h"

namespace ui {

struct MessageBoxRecord {
    Form* owner = nullptr;
    std::u16string text;
    std::u16string caption;
    unsigned flags = 0;
    unsigned Icon() const { return flags & kMbIconMask; }
};

class HeadlessBackend : public Backend {
public:
    std::unique_ptr<Peer> CreatePeer(Control& control) override;
    // No event can ever arrive, so the loop ends at once.
    void WaitForEvents() override { Application::Instance().Terminate(); }
    void ProcessMessages() override { ++pumped; }
    int ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                   unsigned flags) override;

    std::function<int(const MessageBoxRecord&)> responder;
    std::vector<MessageBoxRecord> boxes;
    int pumped = 0;
};

}  // namespace ui
