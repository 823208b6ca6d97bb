// A backend without widgets, for tests: peers do nothing, message boxes and modal forms are
// recorded and answered by responders the test sets, and text has fixed metrics (every
// character kCharWidth pixels wide, every line kLineHeight pixels high, whatever the font), so
// forms that lay themselves out do so the same way on every machine.
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

// One control of a modal form as it was when the form was shown.
struct ControlRecord {
    std::string name;
    ControlKind kind = ControlKind::Label;
    std::u16string caption;
    int left = 0, top = 0, width = 0, height = 0;
    bool visible = true;
    int tabOrder = -1;
    bool tabStop = false;
    bool isDefault = false, isCancel = false;  // buttons
    int modalResult = 0;                       // buttons
    unsigned icon = 0;                         // images: kMbIcon*
    char16_t passwordChar = 0;                 // edits
    int maxLength = 0;                         // edits
    bool wordWrap = false;                     // labels
};

// A modal form as it was shown: frame, place, font, controls (in creation order), and the
// sounds played since the previous modal form.
struct ModalRecord {
    std::u16string caption;
    int left = 0, top = 0, clientWidth = 0, clientHeight = 0;
    BorderStyle borderStyle = BorderStyle::Sizeable;
    FormPosition position = FormPosition::Designed;
    Font font;
    std::string activeControl;
    std::vector<ControlRecord> controls;
    std::vector<unsigned> sounds;
    // The control of that name, or null.
    const ControlRecord* Find(const std::string& name) const;
    std::vector<const ControlRecord*> OfKind(ControlKind kind) const;
};

class HeadlessBackend : public Backend {
public:
    static constexpr int kCharWidth = 6;
    static constexpr int kLineHeight = 15;
    static constexpr int kTabChars = 8;

    std::unique_ptr<Peer> CreatePeer(Control& control) override;
    // No event can ever arrive, so the loop ends at once.
    void WaitForEvents() override { Application::Instance().Terminate(); }
    void ProcessMessages() override { ++pumped; }
    int ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                       unsigned flags) override;
    void SetCursor(int cursor) override { cursors.push_back(cursor); }

    // Records the form and answers it with the modal responder's result; without a responder,
    // the default button's modal result. A form left without a result is cancelled, as no
    // event can ever come.
    void BeginModal(Form& form) override;
    void EndModal(Form&) override {}
    void MessageSound(unsigned icon) override { sounds.push_back(icon); }

    Font MessageFont() override { return messageFont; }
    Size MeasureText(const Font& font, const std::u16string& text, int wrapWidth,
                     bool prefix) override;
    Size ScreenSize() override { return screen; }
    Size FrameSize(const Form&) override { return frame; }
    // One line and the field's border.
    int EditHeight(const Font&) override { return kLineHeight + 8; }

    std::function<int(const MessageBoxRecord&)> responder;
    std::vector<MessageBoxRecord> boxes;
    // Called with the form on the screen: may type into its fields; returns the modal result.
    std::function<int(Form&, const ModalRecord&)> modalResponder;
    std::vector<ModalRecord> modals;
    std::vector<unsigned> sounds;
    std::vector<int> cursors;
    int pumped = 0;

    Font messageFont{"Segoe UI", -12, false, Color::System(kColorWindowText)};
    Size screen{1024, 768};
    Size frame{8, 31};

private:
    size_t soundsRecorded_ = 0;
};

}  // namespace ui
