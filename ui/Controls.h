// The controls of the toolkit: the portable model of every window and widget. A control holds
// its whole state here; the backend's peer mirrors it on the screen (or nowhere, headless) and
// reports what the user does back through the User* calls.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/Component.h"

namespace ui {

// Colours as the form description writes them: 0x00BBGGRR for a fixed colour, 0x80000000 | n
// for system colour n (the Windows COLOR_* index), resolved by the backend.
struct Color {
    uint32_t value = 0;
    static Color Rgb(uint8_t r, uint8_t g, uint8_t b) { return {uint32_t(r) | uint32_t(g) << 8 | uint32_t(b) << 16}; }
    static Color System(int index) { return {0x80000000u | uint32_t(index)}; }
    bool IsSystem() const { return (value & 0x80000000u) != 0; }
    int SystemIndex() const { return int(value & 0xFF); }
    uint8_t R() const { return uint8_t(value); }
    uint8_t G() const { return uint8_t(value >> 8); }
    uint8_t B() const { return uint8_t(value >> 16); }
    bool operator==(const Color& o) const { return value == o.value; }
};

// Windows system colour indexes used by the descriptions.
enum SystemColorIndex {
    kColorWindow = 5,
    kColorWindowText = 8,
    kColorBtnFace = 15,
    kColorBtnShadow = 16,
    kColorGrayText = 17,
    kColorBtnHighlight = 20,
};

struct Font {
    std::string name = "Tahoma";
    int height = -11;  // as in the description: negative = character height in pixels
    bool bold = false;
    Color color = Color::System(kColorWindowText);
    int PixelHeight() const { return height < 0 ? -height : height; }
};

// A width and a height in pixels.
struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size& o) const { return width == o.width && height == o.height; }
};

enum class ControlKind { Form, Label, Edit, Button, RadioButton, ProgressBar, Bevel, Panel, Image };

// What changed, for the peer.
enum class Prop { Caption, Bounds, Visible, Enabled, Checked, Position, Font, Color, Picture };

class Control;

class Peer {
public:
    virtual ~Peer() = default;
    virtual void Changed(Prop what) = 0;
    virtual void SetFocus() {}
    // The platform's window of the control (a window handle on Windows); null where the backend
    // has none to hand to system services.
    virtual void* NativeHandle() const { return nullptr; }
};

class Control : public Component {
public:
    Control(Component* owner, std::string name, ControlKind kind);
    ~Control() override;

    ControlKind Kind() const { return kind_; }
    Control* Parent() const { return parent_; }
    const std::vector<Control*>& Children() const { return children_; }
    void SetParent(Control* parent);
    // Children sorted by tab order (controls without a tab stop keep description order, last).
    std::vector<Control*> ChildrenInTabOrder() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool e);

    // The caption of a form, label, button or radio button, and the text of an edit field.
    const std::u16string& Caption() const { return caption_; }
    void SetCaption(const std::u16string& text);

    const Font& GetFont() const { return font_; }
    // Gives the control a font of its own; children that have none of their own take it too.
    void SetFont(const Font& font);
    Color GetColor() const { return color_; }
    void SetColor(Color c);
    int TabOrder() const { return tabOrder_; }
    bool TabStop() const { return tabStop_; }
    // Tab order and tab stop are read when the window is created: set them before.
    void SetTabOrder(int order) { tabOrder_ = order; }
    void SetTabStop(bool stop) { tabStop_ = stop; }

    NotifyEvent OnClick;
    NotifyEvent OnExit;

    Peer* GetPeer() const { return peer_.get(); }
    // The control's platform window, for system calls that take an owner window; null without one.
    void* Handle() const { return peer_ ? peer_->NativeHandle() : nullptr; }
    void AttachPeer(std::unique_ptr<Peer> peer) { peer_ = std::move(peer); }
    void DestroyPeer() { peer_.reset(); }

    // The backend reports user actions through these; they update the model and run handlers.
    void UserClicked();
    void UserLeft();
    void UserEditedText(const std::u16string& text);
    // A label that sizes itself to its text: the backend tells the measured size.
    void MeasuredSize(int width, int height);

    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

protected:
    void InheritFont(const Font& font);
    void Notify(Prop what) {
        if (peer_) peer_->Changed(what);
    }
    // Runs a handler under the application's standard error display.
    void Fire(const NotifyEvent& handler);

    ControlKind kind_;
    Control* parent_ = nullptr;
    std::vector<Control*> children_;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::u16string caption_;
    Font font_;
    bool ownFont_ = false;   // the description set a font property of its own
    Color color_ = Color::System(kColorBtnFace);
    bool ownColor_ = false;
    int tabOrder_ = -1;
    bool tabStop_ = false;
    std::unique_ptr<Peer> peer_;

    friend class Form;
};

class Label : public Control {
public:
    Label(Component* owner, std::string name) : Control(owner, std::move(name), ControlKind::Label) {}
    bool AutoSize() const { return autoSize_; }
    bool Transparent() const { return transparent_; }
    // A word-wrapping label breaks its text into lines at its width (and expands tabs); it
    // does not size itself. Both are read when the window is created: set them before.
    bool WordWrap() const { return wordWrap_; }
    void SetWordWrap(bool wrap) { wordWrap_ = wrap; }
    void SetAutoSize(bool autoSize) { autoSize_ = autoSize; }
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    bool autoSize_ = true;
    bool transparent_ = false;
    bool wordWrap_ = false;
};

class Edit : public Control {
public:
    Edit(Component* owner, std::string name);
    const std::u16string& Text() const { return caption_; }
    // A text longer than the maximum length is cut to it.
    void SetText(const std::u16string& t);
    // The character shown for each character typed (0: the text itself), and the most
    // characters the field takes (0: no limit). Read when the window is created: set them
    // before.
    char16_t PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(char16_t c) { passwordChar_ = c; }
    int MaxLength() const { return maxLength_; }
    void SetMaxLength(int length) { maxLength_ = length < 0 ? 0 : length; }

private:
    char16_t passwordChar_ = 0;
    int maxLength_ = 0;
};

class Button : public Control {
public:
    Button(Component* owner, std::string name);
    // Enter presses the default button, Escape the cancel button. Read when the window is
    // created: set them before.
    bool IsDefault() const { return default_; }
    void SetDefault(bool d) { default_ = d; }
    bool IsCancel() const { return cancel_; }
    void SetCancel(bool c) { cancel_ = c; }
    // A click gives the button's form this modal result (0: none), which ends a modal showing.
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    void Click() { UserClicked(); }
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    bool default_ = false;
    bool cancel_ = false;
    int modalResult_ = 0;
};

class RadioButton : public Control {
public:
    RadioButton(Component* owner, std::string name);
    bool Checked() const { return checked_; }
    // Checking one radio button unchecks the others of the same parent (its group).
    void SetChecked(bool c);
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    bool checked_ = false;
};

class ProgressBar : public Control {
public:
    ProgressBar(Component* owner, std::string name);
    int Min() const { return min_; }
    int Max() const { return max_; }
    int Step() const { return step_; }
    int Position() const { return position_; }
    // The position is kept within Min..Max.
    void SetPosition(int p);
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    int min_ = 0, max_ = 100, step_ = 10, position_ = 0;
};

class Bevel : public Control {
public:
    enum class Shape { Box, Frame, TopLine, BottomLine, LeftLine, RightLine };
    Bevel(Component* owner, std::string name) : Control(owner, std::move(name), ControlKind::Bevel) {}
    Shape GetShape() const { return shape_; }
    bool Lowered() const { return lowered_; }
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    Shape shape_ = Shape::Box;
    bool lowered_ = true;
};

class Panel : public Control {
public:
    enum class Align { None, Top, Bottom, Left, Right, Client };
    Panel(Component* owner, std::string name);
    Align GetAlign() const { return align_; }
    bool Beveled() const { return bevelOuter_; }
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    Align align_ = Align::None;
    bool bevelOuter_ = true;
};

class Image : public Control {
public:
    Image(Component* owner, std::string name) : Control(owner, std::move(name), ControlKind::Image) {}
    // The picture as stored in the description (PNG bytes); drawn at its natural size from the
    // top-left corner, clipped to the control.
    const std::vector<uint8_t>& PictureData() const { return picture_; }
    // A system icon instead of a picture, named by its message box flag (kMbIconError,
    // kMbIconQuestion, kMbIconWarning, kMbIconInformation); 0 for none. Drawn at the system's
    // icon size from the top-left corner.
    unsigned SystemIcon() const { return systemIcon_; }
    void SetSystemIcon(unsigned icon);
    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

private:
    std::vector<uint8_t> picture_;
    unsigned systemIcon_ = 0;
};

// Registers the standard control classes under their description names.
void RegisterStandardControls();

}  // namespace ui
