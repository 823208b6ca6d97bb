#include "ui/HeadlessBackend.h"

namespace ui {

namespace {

class NullPeer : public Peer {
public:
    void Changed(Prop) override {}
};

}  // namespace

std::unique_ptr<Peer> HeadlessBackend::CreatePeer(Control&) { return std::make_unique<NullPeer>(); }

int HeadlessBackend::ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                                unsigned flags) {
    MessageBoxRecord r{owner, text, caption, flags};
    boxes.push_back(r);
    if (responder) return responder(r);
    return (flags & kMbButtonMask) == kMbYesNo ? kIdYes : kIdOk;
}

}  // namespace ui
