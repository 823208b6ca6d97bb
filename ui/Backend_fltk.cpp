// The FLTK backend: puts the toolkit's forms on an X display with FLTK 1.3 (UTF-8, Xft fonts).
//
// Every control gets one peer that owns one FLTK widget. The model is the only source of truth:
// a peer copies the model's state into its widget on creation and on every Changed(), and the
// widgets report what the user does through the control's User* calls. Widget coordinates in
// FLTK are relative to the window, so a control inside a panel sits at the sum of its
// ancestors' positions plus its own.
//
// Widgets are never deleted while an FLTK callback may still be running on them: a peer
// detaches its widget from the model and from its group, then hands it to Fl::delete_widget,
// which deletes it when the event loop next runs (or when the backend goes away).
#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Form.h"

// FLTK comes last: its drawing headers bring in X11's, whose macros (None, Bool, Status) would
// break the toolkit's own declarations.
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_PNG_Image.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Round_Button.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
// The code below needs the toolkit's enumerators called None, never X11's constant.
#undef None

namespace ui {

namespace {

// ----- Colours and fonts -------------------------------------------------------------------

struct Rgb {
    uint8_t r, g, b;
};

// The default Windows colours for the COLOR_* indexes, as a fresh Windows 10 installation has
// them. The descriptions name system colours; the program should look as it does there.
const Rgb kSystemColors[] = {
    {200, 200, 200},  // 0 scroll bar
    {0, 0, 0},        // 1 desktop
    {153, 180, 209},  // 2 active caption
    {191, 205, 219},  // 3 inactive caption
    {240, 240, 240},  // 4 menu
    {255, 255, 255},  // 5 window
    {100, 100, 100},  // 6 window frame
    {0, 0, 0},        // 7 menu text
    {0, 0, 0},        // 8 window text
    {0, 0, 0},        // 9 caption text
    {180, 180, 180},  // 10 active border
    {244, 247, 252},  // 11 inactive border
    {171, 171, 171},  // 12 application workspace
    {0, 120, 215},    // 13 highlight
    {255, 255, 255},  // 14 highlight text
    {240, 240, 240},  // 15 button face
    {160, 160, 160},  // 16 button shadow
    {109, 109, 109},  // 17 grey text
    {0, 0, 0},        // 18 button text
    {0, 0, 0},        // 19 inactive caption text
    {255, 255, 255},  // 20 button highlight
    {105, 105, 105},  // 21 3D dark shadow
    {227, 227, 227},  // 22 3D light
    {0, 0, 0},        // 23 tooltip text
    {255, 255, 225},  // 24 tooltip background
    {240, 240, 240},  // 25 (unused by Windows)
    {0, 102, 204},    // 26 hot-tracked item
    {185, 209, 234},  // 27 active caption gradient
    {215, 228, 242},  // 28 inactive caption gradient
    {0, 120, 215},    // 29 menu highlight
    {240, 240, 240},  // 30 menu bar
};

Fl_Color ToFl(Color c) {
    if (!c.IsSystem()) return fl_rgb_color(c.R(), c.G(), c.B());
    const size_t i = static_cast<size_t>(c.SystemIndex());
    // An index Windows does not define falls back to the button face, the toolkit's default.
    const Rgb& s = i < std::size(kSystemColors) ? kSystemColors[i] : kSystemColors[kColorBtnFace];
    return fl_rgb_color(s.r, s.g, s.b);
}

Fl_Color SystemColor(int index) {
    return ToFl(Color::System(index));
}

// Every font name maps to FLTK's sans face; with Xft that is fontconfig's sans (DejaVu Sans on
// Debian), which covers Vietnamese. FLTK sizes are pixel sizes, as the descriptions' are.
Fl_Font FaceOf(const Font& f) {
    return f.bold ? FL_HELVETICA_BOLD : FL_HELVETICA;
}
Fl_Fontsize SizeOf(const Font& f) {
    return static_cast<Fl_Fontsize>(f.PixelHeight());
}

// ----- Box types of our own ----------------------------------------------------------------

// A panel's raised outer bevel as Windows draws it: one pixel of highlight at the top and left,
// one of shadow at the bottom and right.
const Fl_Boxtype kRaisedEdgeBox = static_cast<Fl_Boxtype>(FL_FREE_BOXTYPE);
// A flat field with a thin grey frame (the themed progress bar).
const Fl_Boxtype kThinFrameBox = static_cast<Fl_Boxtype>(FL_FREE_BOXTYPE + 1);

void DrawRaisedEdge(int x, int y, int w, int h, Fl_Color c) {
    fl_color(c);
    fl_rectf(x, y, w, h);
    fl_color(SystemColor(kColorBtnHighlight));
    fl_xyline(x, y, x + w - 1);
    fl_yxline(x, y, y + h - 1);
    fl_color(SystemColor(kColorBtnShadow));
    fl_xyline(x, y + h - 1, x + w - 1);
    fl_yxline(x + w - 1, y, y + h - 1);
}

void DrawThinFrame(int x, int y, int w, int h, Fl_Color c) {
    fl_color(c);
    fl_rectf(x, y, w, h);
    fl_color(fl_rgb_color(188, 188, 188));
    fl_rect(x, y, w, h);
}

// ----- Callback boundary -------------------------------------------------------------------

// FLTK is C code at heart: nothing may unwind through it. What a handler throws goes to the
// application's standard error display, and the event loop carries on.
template <class F>
void Guarded(F&& f) {
    try {
        f();
    } catch (...) {
        try {
            Application::Instance().HandleCurrentException();
        } catch (...) {
            // The error display itself failed; there is nothing left to show it with.
        }
    }
}

// The control a widget stands for; null once its peer has let it go.
Control* BoundControl(const Fl_Widget* w) {
    return static_cast<Control*>(w->user_data());
}

// Text for a label FLTK draws itself (buttons, radio buttons, panels, message boxes). FLTK reads
// every single '@' there as the start of a symbol name and hides it with what follows; "@@"
// draws one '@'. The label widget draws with symbols off and takes the plain text.
std::string LabelText(const std::u16string& text) {
    const std::string utf8 = platform::Utf16ToUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (char c : utf8) {
        if (c == '@') out.push_back('@');
        out.push_back(c);
    }
    return out;
}

// Controls drawn on their parent's surface rather than as windows of their own. Windows paints
// them beneath its windowed controls, so they come first in their FLTK group (drawn first).
bool IsGraphic(ControlKind k) {
    return k == ControlKind::Label || k == ControlKind::Bevel || k == ControlKind::Image;
}

// Marks an area of a widget's window for repainting. Widgets without a background of their own
// (transparent labels, bevels, pictures with alpha) must have their parent repaint beneath
// them, or a change would be drawn over what was there before.
void DamageArea(Fl_Widget* w, int x, int y, int width, int height) {
    if (Fl_Window* win = w->window()) win->damage(FL_DAMAGE_ALL, x, y, width, height);
}
void DamageArea(Fl_Widget* w) {
    DamageArea(w, w->x(), w->y(), w->w(), w->h());
}

// Creates a widget without letting it land in whatever group happens to be open (a group's
// constructor opens itself; closing it again keeps the next widget out of it).
template <class W, class... Args>
W* MakeWidget(Args&&... args) {
    Fl_Group::current(nullptr);
    W* w = new W(std::forward<Args>(args)...);
    Fl_Group::current(nullptr);
    return w;
}

// ----- Widgets -----------------------------------------------------------------------------

// A label: the text from the top-left corner, clipped to the box, with no margin (the model's
// measured size is the text's size, so FLTK's usual three-pixel label margin would clip it).
// A disabled label is engraved as Windows draws disabled static text: highlight one pixel down
// and right, shadow on top.
class LabelBox : public Fl_Box {
public:
    LabelBox() : Fl_Box(0, 0, 0, 0) {}

    // Breaks the text into lines at the box's width.
    bool wrap = false;

    void draw() override {
        // Filled here rather than by draw_box(): FLTK tints a disabled widget's box grey, and
        // Windows keeps a disabled label on its own colour.
        if (box() != FL_NO_BOX) {
            fl_color(color());
            fl_rectf(x(), y(), w(), h());
        }
        const char* text = label();
        if (!text || !*text) return;
        fl_push_clip(x(), y(), w(), h());
        fl_font(labelfont(), labelsize());
        const Fl_Align a =
            FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | (wrap ? FL_ALIGN_WRAP : 0);
        if (active_r()) {
            fl_color(labelcolor());
        } else {
            fl_color(SystemColor(kColorBtnHighlight));
            fl_draw(text, x() + 1, y() + 1, w(), h(), a, nullptr, 0);
            fl_color(SystemColor(kColorBtnShadow));
        }
        fl_draw(text, x(), y(), w(), h(), a, nullptr, 0);
        fl_pop_clip();
    }
};

// The single-line edit field: reports each edit and leaving the field.
class EditInput : public Fl_Input {
public:
    EditInput() : Fl_Input(0, 0, 0, 0) {}

    int handle(int event) override {
        const int used = Fl_Input::handle(event);
        if (event == FL_UNFOCUS) {
            // Leaving counts only when the focus moves to another widget of the same window; a
            // window that loses the focus to another one gets it back on this field later.
            Fl_Widget* next = Fl::focus();
            if (next && next != this && next->window() == window()) {
                if (Control* c = BoundControl(this)) Guarded([c] { c->UserLeft(); });
            }
        }
        return used;
    }
};

// A push button drawn in the flat style of themed Windows buttons: a face in the control's
// colour and a one-pixel frame, blue for the default button, two pixels when it has the focus.
// Enter presses the focused button, or else the default one, without moving the focus (so an
// edit field is not left by pressing Enter in it).
class PushButton : public Fl_Button {
public:
    PushButton() : Fl_Button(0, 0, 0, 0) {}

    bool isDefault = false;

    int handle(int event) override {
        switch (event) {
            case FL_ENTER:
            case FL_LEAVE:
                hover_ = event == FL_ENTER;
                redraw();
                break;
            case FL_KEYBOARD:
                if (Fl::focus() == this && IsEnterKey()) return Press();
                break;
            case FL_SHORTCUT:
                if (isDefault && IsEnterKey()) return Press();
                break;
            default:
                break;
        }
        return Fl_Button::handle(event);
    }

    void draw() override {
        const bool on = active_r();
        const bool pressed = value() != 0;
        const bool focused = Fl::focus() == this;
        Fl_Color face = color();
        Fl_Color frame = fl_rgb_color(173, 173, 173);
        if (!on) {
            face = fl_rgb_color(204, 204, 204);
            frame = fl_rgb_color(191, 191, 191);
        } else if (pressed) {
            face = fl_rgb_color(204, 228, 247);
            frame = fl_rgb_color(0, 84, 153);
        } else if (hover_) {
            face = fl_rgb_color(229, 241, 251);
            frame = fl_rgb_color(0, 120, 215);
        } else if (isDefault || focused) {
            frame = fl_rgb_color(0, 120, 215);
        }
        fl_color(face);
        fl_rectf(x(), y(), w(), h());
        fl_color(frame);
        fl_rect(x(), y(), w(), h());
        if (on && focused) fl_rect(x() + 1, y() + 1, w() - 2, h() - 2);
        draw_label();
    }

private:
    static bool IsEnterKey() {
        const int key = Fl::event_key();
        return (key == FL_Enter || key == FL_KP_Enter) &&
               !(Fl::event_state() & (FL_CTRL | FL_ALT | FL_META));
    }
    int Press() {
        if (!active_r() || !visible_r()) return 0;
        do_callback();
        return 1;
    }

    bool hover_ = false;
};

// A radio button. FLTK's own toggling is undone after every click: the check mark always
// shows the model's Checked, and the model unchecks the siblings. The background is filled
// here, not by the box, because FLTK would tint a disabled widget's box grey, and Windows
// keeps a disabled radio button on its parent's colour.
class RadioWidget : public Fl_Round_Button {
public:
    RadioWidget() : Fl_Round_Button(0, 0, 0, 0) { box(FL_NO_BOX); }

    void draw() override {
        fl_color(color());
        fl_rectf(x(), y(), w(), h());
        Fl_Round_Button::draw();
    }
};

// A bevel: lines in the shadow and highlight colours, lowered or raised.
class BevelWidget : public Fl_Widget {
public:
    BevelWidget() : Fl_Widget(0, 0, 0, 0) {
        box(FL_NO_BOX);
        clear_visible_focus();
    }

    Bevel::Shape shape = Bevel::Shape::Box;
    bool lowered = true;

    void draw() override {
        const Fl_Color dark = SystemColor(kColorBtnShadow);
        const Fl_Color light = SystemColor(kColorBtnHighlight);
        const Fl_Color first = lowered ? dark : light;
        const Fl_Color second = lowered ? light : dark;
        const int r = x() + w() - 1, b = y() + h() - 1;
        if (w() <= 0 || h() <= 0) return;
        fl_push_clip(x(), y(), w(), h());
        switch (shape) {
            case Bevel::Shape::TopLine:
                Line(first, x(), y(), r, y());
                Line(second, x(), y() + 1, r, y() + 1);
                break;
            case Bevel::Shape::BottomLine:
                Line(first, x(), b - 1, r, b - 1);
                Line(second, x(), b, r, b);
                break;
            case Bevel::Shape::LeftLine:
                Line(first, x(), y(), x(), b);
                Line(second, x() + 1, y(), x() + 1, b);
                break;
            case Bevel::Shape::RightLine:
                Line(first, r - 1, y(), r - 1, b);
                Line(second, r, y(), r, b);
                break;
            case Bevel::Shape::Box:
                Line(first, x(), y(), r, y());
                Line(first, x(), y(), x(), b);
                Line(second, x(), b, r, b);
                Line(second, r, y(), r, b);
                break;
            case Bevel::Shape::Frame:
                // Etched: the second colour's rectangle one pixel in, the first's on top of it.
                fl_color(second);
                fl_rect(x() + 1, y() + 1, w() - 1, h() - 1);
                fl_color(first);
                fl_rect(x(), y(), w() - 1, h() - 1);
                break;
        }
        fl_pop_clip();
    }

private:
    static void Line(Fl_Color c, int x0, int y0, int x1, int y1) {
        fl_color(c);
        fl_line(x0, y0, x1, y1);
    }
};

// Draws a 32-pixel system icon at (x, y) as Windows shows them in message boxes: a yellow
// triangle with an exclamation mark, a red disc with a cross, a blue disc with an "i" or a
// question mark.
void DrawSystemIcon(unsigned icon, int x, int y) {
    constexpr int kSize = 32;
    const bool warning = icon == kMbIconWarning;
    if (warning) {
        fl_color(fl_rgb_color(252, 225, 0));
        fl_polygon(x + 16, y + 1, x + 31, y + 29, x + 1, y + 29);
        fl_color(fl_rgb_color(160, 130, 0));
        fl_loop(x + 16, y + 1, x + 31, y + 29, x + 1, y + 29);
    } else {
        const Fl_Color disc =
            icon == kMbIconError ? fl_rgb_color(232, 17, 35) : fl_rgb_color(0, 120, 215);
        fl_color(disc);
        fl_pie(x, y, kSize, kSize, 0, 360);
        fl_color(fl_darker(disc));
        fl_arc(x, y, kSize, kSize, 0, 360);
    }
    if (icon == kMbIconError) {
        fl_color(FL_WHITE);
        fl_line_style(FL_SOLID | FL_CAP_ROUND, 3);
        fl_line(x + 10, y + 10, x + 21, y + 21);
        fl_line(x + 21, y + 10, x + 10, y + 21);
        fl_line_style(0);
        return;
    }
    const char* mark = warning ? "!" : icon == kMbIconQuestion ? "?" : "i";
    fl_color(warning ? FL_BLACK : FL_WHITE);
    fl_font(FL_HELVETICA_BOLD, warning ? 20 : 22);
    fl_draw(mark, x, y + (warning ? 5 : 0), kSize, kSize - (warning ? 3 : 0), FL_ALIGN_CENTER,
            nullptr, 0);
}

// A picture at its natural size from the top-left corner, clipped to the control. It has no
// background: a PNG's transparent pixels show the parent.
class PictureWidget : public Fl_Widget {
public:
    PictureWidget() : Fl_Widget(0, 0, 0, 0) {
        box(FL_NO_BOX);
        clear_visible_focus();
    }

    std::unique_ptr<Fl_PNG_Image> picture;
    unsigned icon = 0;  // a system icon (kMbIcon*) instead of the picture

    void draw() override {
        if (icon != 0) {
            fl_push_clip(x(), y(), w(), h());
            DrawSystemIcon(icon, x(), y());
            fl_pop_clip();
            return;
        }
        if (!picture || picture->fail() || picture->w() <= 0 || picture->h() <= 0) return;
        fl_push_clip(x(), y(), w(), h());
        picture->draw(x(), y());
        fl_pop_clip();
    }
};

// ----- Peers -------------------------------------------------------------------------------

// What every peer does: owns the widget, places it, mirrors visibility, enablement, colour and
// font, and lets the widget go safely.
class WidgetPeer : public Peer {
public:
    WidgetPeer(Control& control, Fl_Widget* widget) : control_(control), widget_(widget) {
        widget_->user_data(&control_);
    }

    ~WidgetPeer() override {
        widget_->user_data(nullptr);  // from now on the widget reports nothing to the model
        if (Fl_Group* g = Group()) {
            // Children whose peers outlive this one keep their widgets: the group must not
            // delete them in its destructor.
            while (g->children() > 0) g->remove(g->child(0));
        }
        if (Fl_Group* parent = widget_->parent()) {
            DamageArea(widget_);
            parent->remove(widget_);
        }
        widget_->hide();
        Fl::delete_widget(widget_);
    }

    // Puts the widget into the group of the nearest ancestor that has one, then mirrors the
    // whole model. Called once, right after construction.
    void Attach() {
        if (Fl_Group* host = HostGroup()) {
            int index = host->children();
            if (IsGraphic(control_.Kind())) {
                index = 0;
                while (index < host->children()) {
                    const Control* c = BoundControl(host->child(index));
                    if (!c || !IsGraphic(c->Kind())) break;
                    ++index;
                }
            }
            host->insert(*widget_, index);
        }
        ApplyFont();
        ApplyColor();
        ApplyCaption();
        ApplyValue();
        Place();
        ApplyEnabled();
        ApplyVisible();
    }

    void Changed(Prop what) override {
        switch (what) {
            case Prop::Caption:
                ApplyCaption();
                break;
            case Prop::Bounds:
                Place();
                break;
            case Prop::Visible:
                ApplyVisible();
                break;
            case Prop::Enabled:
                ApplyEnabled();
                break;
            case Prop::Font:
                ApplyFont();
                break;
            case Prop::Color:
                ApplyColor();
                break;
            case Prop::Checked:
            case Prop::Position:
            case Prop::Picture:
                ApplyValue();
                break;
        }
        Repaint();
    }

    void SetFocus() override { widget_->take_focus(); }

    // The group this peer's children go into; null for controls that hold none. A member, not
    // a virtual, because the destructor needs it.
    Fl_Group* Group() const { return group_; }

protected:
    virtual void ApplyCaption() {}
    virtual void ApplyValue() {}
    virtual void ApplyFont() {
        widget_->labelfont(FaceOf(control_.GetFont()));
        widget_->labelsize(SizeOf(control_.GetFont()));
        widget_->labelcolor(ToFl(control_.GetFont().color));
    }
    virtual void ApplyColor() { widget_->color(ToFl(control_.GetColor())); }
    virtual void ApplyVisible() {
        if (control_.Visible())
            widget_->show();
        else
            widget_->hide();
    }
    void ApplyEnabled() {
        if (control_.Enabled())
            widget_->activate();
        else
            widget_->deactivate();
    }

    // Window-relative position: the ancestors' positions (below the form) plus the control's.
    virtual void Place() {
        int x = control_.Left(), y = control_.Top();
        for (const Control* p = control_.Parent(); p && p->Kind() != ControlKind::Form;
             p = p->Parent()) {
            x += p->Left();
            y += p->Top();
        }
        const int w = std::max(0, control_.Width()), h = std::max(0, control_.Height());
        if (x == widget_->x() && y == widget_->y() && w == widget_->w() && h == widget_->h())
            return;
        DamageArea(widget_);  // what was beneath the old place shows again
        widget_->resize(x, y, w, h);
    }

    virtual void Repaint() {
        DamageArea(widget_);
        widget_->redraw();
    }

    Fl_Group* HostGroup() const {
        for (const Control* p = control_.Parent(); p; p = p->Parent()) {
            if (auto* peer = dynamic_cast<WidgetPeer*>(p->GetPeer()))
                if (Fl_Group* g = peer->Group()) return g;
        }
        return nullptr;
    }

    Control& control_;
    Fl_Widget* widget_;
    Fl_Group* group_ = nullptr;
};

class FormPeer : public WidgetPeer {
public:
    Fl_Double_Window* Window() const { return window_; }

    explicit FormPeer(Form& form)
        : WidgetPeer(form, MakeWidget<Fl_Double_Window>(std::max(1, form.ClientWidth()),
                                                        std::max(1, form.ClientHeight()))),
          form_(form),
          window_(static_cast<Fl_Double_Window*>(widget_)) {
        window_->end();
        window_->resizable(nullptr);
        window_->box(FL_FLAT_BOX);
        window_->callback(&FormPeer::OnCloseRequest);
        group_ = window_;
        if (form.GetBorderStyle() == BorderStyle::None) window_->border(0);
        const std::string cls = form.ClassName();
        window_->xclass(cls.c_str());  // copies the text
    }

protected:
    void ApplyCaption() override {
        window_->copy_label(platform::Utf16ToUtf8(form_.Caption()).c_str());
    }
    void ApplyFont() override {}  // the children carry their own copies of the form's font

    void ApplyVisible() override {
        if (!form_.Visible()) {
            window_->hide();
            return;
        }
        if (window_->shown()) {
            window_->show();  // raises it
            return;
        }
        Place();
        window_->show();
        ApplyDecorations();
        if (Application::Instance().ScreenCursor() == kCrHourGlass) window_->cursor(FL_CURSOR_WAIT);
        // The form's active control takes the focus first; otherwise FLTK's choice stands.
        if (Control* active = form_.ActiveControl())
            if (Peer* peer = active->GetPeer()) peer->SetFocus();
    }

    void Place() override {
        const int w = std::max(1, form_.ClientWidth()), h = std::max(1, form_.ClientHeight());
        window_->size_range(w, h, w, h);
        int x = form_.Left(), y = form_.Top();
        if (form_.Position() == FormPosition::ScreenCenter) {
            if (window_->shown()) {
                // Centred when first shown; later size changes keep the window's place.
                x = window_->x();
                y = window_->y();
            } else {
                int sx, sy, sw, sh;
                Fl::screen_xywh(sx, sy, sw, sh, 0);
                x = sx + (sw - w) / 2;
                y = sy + (sh - h) / 2;
            }
        }
        if (x != window_->x() || y != window_->y() || w != window_->w() || h != window_->h())
            window_->resize(x, y, w, h);
    }

    void Repaint() override { window_->redraw(); }

private:
    // The window manager's close request (and Escape, which FLTK routes to the same callback)
    // closes the form only when its title bar has a system menu; without one there is no close
    // box, and the form's own button is the way out.
    // Escape presses the form's cancel button, when it has one that can be used.
    static void OnCloseRequest(Fl_Widget* w, void*) {
        auto* form = static_cast<Form*>(BoundControl(w));
        if (!form) return;
        if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) {
            Button* cancel = form->CancelButton();
            if (cancel && cancel->Visible() && cancel->Enabled())
                Guarded([cancel] { cancel->UserClicked(); });
            return;
        }
        if (Fl::event() != FL_CLOSE || !form->HasSystemMenu()) return;
        Guarded([form] { form->Close(); });
    }

    // Tells the window manager which title-bar buttons and functions the form has, in the
    // Motif hints that X window managers honour: none of them for a form without border
    // icons. The size is always fixed, so resizing and maximising are never offered.
    void ApplyDecorations() {
        if (!fl_display || !window_->shown() || form_.GetBorderStyle() == BorderStyle::None) return;
        enum : unsigned long {
            kHintFunctions = 1,
            kHintDecorations = 2,
            kFuncMove = 4,
            kFuncMinimize = 8,
            kFuncClose = 32,
            kDecorBorder = 2,
            kDecorTitle = 8,
            kDecorMenu = 16,
            kDecorMinimize = 32,
        };
        unsigned long hints[5] = {kHintFunctions | kHintDecorations, kFuncMove,
                                  kDecorBorder | kDecorTitle, 0, 0};
        if (form_.HasSystemMenu()) {
            hints[1] |= kFuncClose;
            hints[2] |= kDecorMenu;
            if (form_.HasMinimizeBox() && form_.GetBorderStyle() != BorderStyle::Dialog) {
                hints[1] |= kFuncMinimize;
                hints[2] |= kDecorMinimize;
            }
        }
        const Atom atom = XInternAtom(fl_display, "_MOTIF_WM_HINTS", 0);
        XChangeProperty(fl_display, fl_xid(window_), atom, atom, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(hints), 5);
    }

    Form& form_;
    Fl_Double_Window* window_;
};

class LabelPeer : public WidgetPeer {
public:
    explicit LabelPeer(Label& label) : WidgetPeer(label, MakeWidget<LabelBox>()), label_(label) {
        widget_->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
        static_cast<LabelBox*>(widget_)->wrap = label.WordWrap();
    }

protected:
    void ApplyCaption() override {
        widget_->copy_label(platform::Utf16ToUtf8(label_.Caption()).c_str());
        Measure();
    }
    void ApplyFont() override {
        WidgetPeer::ApplyFont();
        Measure();
    }
    void ApplyColor() override {
        widget_->box(label_.Transparent() ? FL_NO_BOX : FL_FLAT_BOX);
        WidgetPeer::ApplyColor();
    }
    void Place() override {
        if (label_.AutoSize()) Measure(false);
        WidgetPeer::Place();
    }

private:
    // An auto-sized label takes the size of its text; the model learns it, then the widget.
    void Measure(bool place = true) {
        if (!label_.AutoSize()) return;
        fl_font(widget_->labelfont(), widget_->labelsize());
        int w = 0, h = 0;
        const char* text = widget_->label();
        if (text && *text) fl_measure(text, w, h, 0);
        if (h == 0) h = fl_height();  // an empty label keeps the height of one line
        if (w == label_.Width() && h == label_.Height()) return;
        label_.MeasuredSize(w, h);
        if (place) WidgetPeer::Place();
    }

    Label& label_;
};

class EditPeer : public WidgetPeer {
public:
    explicit EditPeer(Edit& edit) : WidgetPeer(edit, MakeWidget<EditInput>()), edit_(edit) {
        auto* input = static_cast<EditInput*>(widget_);
        input->box(FL_DOWN_BOX);
        input->when(FL_WHEN_CHANGED);
        input->callback(&EditPeer::OnEdited);
        input->selection_color(SystemColor(kColorHighlight));
        // FLTK shows its own character ('*') for each one typed into a secret field.
        if (edit.PasswordChar() != 0) input->type(FL_SECRET_INPUT);
        if (edit.MaxLength() > 0) input->maximum_size(edit.MaxLength());
    }

protected:
    void ApplyCaption() override {
        auto* input = static_cast<EditInput*>(widget_);
        const std::string text = platform::Utf16ToUtf8(edit_.Text());
        if (text != input->value()) input->value(text.c_str());
    }
    void ApplyFont() override {
        auto* input = static_cast<EditInput*>(widget_);
        input->textfont(FaceOf(edit_.GetFont()));
        input->textsize(SizeOf(edit_.GetFont()));
        input->textcolor(ToFl(edit_.GetFont().color));
        input->cursor_color(ToFl(edit_.GetFont().color));
    }

private:
    static constexpr int kColorHighlight = 13;

    static void OnEdited(Fl_Widget* w, void*) {
        Control* c = BoundControl(w);
        if (!c) return;
        const char* value = static_cast<Fl_Input*>(w)->value();
        Guarded([c, value] { c->UserEditedText(platform::Utf8ToUtf16(value)); });
    }

    Edit& edit_;
};

class ButtonPeer : public WidgetPeer {
public:
    explicit ButtonPeer(Button& button)
        : WidgetPeer(button, MakeWidget<PushButton>()), button_(button) {
        auto* b = static_cast<PushButton*>(widget_);
        b->box(FL_FLAT_BOX);
        b->isDefault = button.IsDefault();
        b->callback(&ButtonPeer::OnPressed);
    }

protected:
    void ApplyCaption() override { widget_->copy_label(LabelText(button_.Caption()).c_str()); }

private:
    static void OnPressed(Fl_Widget* w, void*) {
        if (Control* c = BoundControl(w)) Guarded([c] { c->UserClicked(); });
    }

    Button& button_;
};

class RadioPeer : public WidgetPeer {
public:
    explicit RadioPeer(RadioButton& radio)
        : WidgetPeer(radio, MakeWidget<RadioWidget>()), radio_(radio) {
        widget_->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
        widget_->callback(&RadioPeer::OnClicked);
    }

protected:
    void ApplyCaption() override { widget_->copy_label(LabelText(radio_.Caption()).c_str()); }
    void ApplyValue() override { static_cast<RadioWidget*>(widget_)->value(radio_.Checked()); }

private:
    static void OnClicked(Fl_Widget* w, void*) {
        Control* c = BoundControl(w);
        if (!c) return;
        Fl_Widget_Tracker alive(w);
        Guarded([c] { c->UserClicked(); });
        // The handler may have closed the form; otherwise undo FLTK's own toggling.
        if (alive.deleted() || BoundControl(w) != c) return;
        static_cast<RadioWidget*>(w)->value(static_cast<RadioButton*>(c)->Checked());
    }

    RadioButton& radio_;
};

class ProgressPeer : public WidgetPeer {
public:
    explicit ProgressPeer(ProgressBar& bar)
        : WidgetPeer(bar, MakeWidget<Fl_Progress>(0, 0, 0, 0)), bar_(bar) {
        widget_->box(kThinFrameBox);
        widget_->selection_color(fl_rgb_color(6, 176, 37));
    }

protected:
    void ApplyValue() override {
        auto* p = static_cast<Fl_Progress*>(widget_);
        const float lo = static_cast<float>(bar_.Min());
        // An empty range would divide by zero in the drawing.
        const float hi = bar_.Max() > bar_.Min() ? static_cast<float>(bar_.Max()) : lo + 1;
        p->minimum(lo);
        p->maximum(hi);
        p->value(static_cast<float>(bar_.Position()));
    }

private:
    ProgressBar& bar_;
};

class BevelPeer : public WidgetPeer {
public:
    explicit BevelPeer(Bevel& bevel) : WidgetPeer(bevel, MakeWidget<BevelWidget>()) {
        auto* w = static_cast<BevelWidget*>(widget_);
        w->shape = bevel.GetShape();
        w->lowered = bevel.Lowered();
    }
};

class PanelPeer : public WidgetPeer {
public:
    explicit PanelPeer(Panel& panel)
        : WidgetPeer(panel, MakeWidget<Fl_Group>(0, 0, 0, 0)), panel_(panel) {
        auto* g = static_cast<Fl_Group*>(widget_);
        g->end();
        // Children keep the places the model gives them; moving the panel moves them along.
        g->resizable(nullptr);
        g->align(FL_ALIGN_CENTER | FL_ALIGN_INSIDE | FL_ALIGN_CLIP);
        group_ = g;
    }

protected:
    void ApplyCaption() override { widget_->copy_label(LabelText(panel_.Caption()).c_str()); }
    void ApplyColor() override {
        widget_->box(panel_.Beveled() ? kRaisedEdgeBox : FL_FLAT_BOX);
        WidgetPeer::ApplyColor();
    }

private:
    Panel& panel_;
};

class ImagePeer : public WidgetPeer {
public:
    explicit ImagePeer(Image& image)
        : WidgetPeer(image, MakeWidget<PictureWidget>()), image_(image) {}

protected:
    void ApplyValue() override {
        auto* w = static_cast<PictureWidget*>(widget_);
        w->icon = image_.SystemIcon();
        w->picture.reset();
        const std::vector<uint8_t>& data = image_.PictureData();
        if (data.empty()) return;
        // FLTK's PNG reader (libpng); a picture it cannot read is simply not drawn.
        const std::string name = image_.Name();
        w->picture = std::make_unique<Fl_PNG_Image>(name.c_str(), data.data(),
                                                    static_cast<int>(data.size()));
        if (w->picture->fail()) w->picture.reset();
    }

private:
    Image& image_;
};

// ----- The backend -------------------------------------------------------------------------

// A message box laid out as Windows lays out its own: the system icon of its kind and the text
// on the window's colour, the buttons at the right of a grey band below, plain buttons with
// plain captions, centred on the window that owns it (on the screen without one). FLTK's own
// boxes open at the mouse pointer and know no error icon, so the backend draws its own.
class MessageBoxWindow : public Fl_Double_Window {
public:
    MessageBoxWindow(const std::u16string& text, const std::u16string& caption, unsigned flags,
                     Fl_Window* owner)
        : Fl_Double_Window(100, 100), message_(LabelText(text)), title_(platform::Utf16ToUtf8(caption)) {
        const unsigned icon = flags & kMbIconMask;
        switch (flags & kMbButtonMask) {
            case kMbYesNo:
                answers_ = {{"Có", kIdYes}, {"Không", kIdNo}};
                escape_ = kIdNo;
                break;
            case kMbOkCancel:
                answers_ = {{"OK", kIdOk}, {"Hủy bỏ", kIdCancel}};
                escape_ = kIdCancel;
                break;
            default:
                answers_ = {{"OK", kIdOk}};
                escape_ = kIdOk;
                break;
        }
        answer_ = escape_;

        // Windows' measures at 96 pixels per inch: a 32-pixel icon, text beside it, at most
        // about 480 pixels of text before it wraps, 75 x 23 buttons 6 pixels apart.
        constexpr int kMargin = 24, kIcon = 32, kGap = 12, kWrap = 480, kBand = 41;
        constexpr int kButtonW = 75, kButtonH = 23, kButtonGap = 6;
        fl_font(FL_HELVETICA, kFontSize);
        // Lines that fit stay whole; only a longer one wraps.
        int textW = 0, textH = 0;
        fl_measure(message_.c_str(), textW, textH, 0);
        const bool wrap = textW > kWrap;
        if (wrap) {
            textW = kWrap;
            fl_measure(message_.c_str(), textW, textH, 0);
        }
        textW += 2;
        const int textX = icon ? kMargin + kIcon + kGap : kMargin;
        const int top = std::max(textH, icon ? kIcon : 0);
        const int buttonsW = static_cast<int>(answers_.size()) * (kButtonW + kButtonGap) - kButtonGap;
        const int width = std::max({textX + textW + kMargin, buttonsW + 2 * kGap, 180});
        const int height = kMargin + top + kMargin + kBand;

        begin();
        color(FL_WHITE);
        box(FL_FLAT_BOX);
        if (icon) {
            auto* picture = new PictureWidget();
            picture->icon = icon;
            picture->resize(kMargin, kMargin + (top - kIcon) / 2, kIcon, kIcon);
        }
        auto* words = new Fl_Box(textX, kMargin + (top - textH) / 2, textW, textH);
        words->box(FL_NO_BOX);
        words->labelfont(FL_HELVETICA);
        words->labelsize(kFontSize);
        words->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | (wrap ? FL_ALIGN_WRAP : 0));
        words->label(message_.c_str());
        auto* band = new Fl_Box(0, height - kBand, width, kBand);
        band->box(FL_FLAT_BOX);
        band->color(fl_rgb_color(240, 240, 240));
        int x = width - kGap - buttonsW;
        for (Answer& a : answers_) {
            auto* b = new PushButton();
            b->resize(x, height - kBand + (kBand - kButtonH) / 2, kButtonW, kButtonH);
            b->label(a.caption);
            b->color(fl_rgb_color(225, 225, 225));
            b->isDefault = &a == &answers_.front();
            b->labelfont(FL_HELVETICA);
            b->labelsize(kFontSize);
            b->callback(&MessageBoxWindow::OnButton, &a);
            a.button = b;
            x += kButtonW + kButtonGap;
        }
        end();
        size(width, height);
        copy_label(title_.c_str());
        callback(&MessageBoxWindow::OnClose);

        int ox, oy, ow, oh;
        if (owner && owner->shown()) {
            ox = owner->x(), oy = owner->y(), ow = owner->w(), oh = owner->h();
        } else {
            Fl::screen_xywh(ox, oy, ow, oh, 0);
        }
        position(ox + (ow - width) / 2, oy + (oh - height) / 2);
        set_modal();
    }

    // Shows the box until one of its buttons (or Escape, or the close box) answers.
    int Run() {
        show();
        if (!answers_.empty() && answers_.front().button) answers_.front().button->take_focus();
        while (shown()) Fl::wait();
        return answer_;
    }

    // Enter presses the focused button (the first one until the user moves on), as on Windows.
    int handle(int event) override {
        if (event == FL_KEYBOARD && (Fl::event_key() == FL_Enter || Fl::event_key() == FL_KP_Enter)) {
            for (Answer& a : answers_) {
                if (a.button && Fl::focus() == a.button) {
                    Finish(a.id);
                    return 1;
                }
            }
            Finish(answers_.front().id);
            return 1;
        }
        return Fl_Double_Window::handle(event);
    }

private:
    struct Answer {
        const char* caption;
        int id;
        PushButton* button = nullptr;
    };
    static constexpr int kFontSize = 12;

    void Finish(int id) {
        answer_ = id;
        hide();
    }
    static void OnButton(Fl_Widget* w, void* data) {
        auto* self = static_cast<MessageBoxWindow*>(w->window());
        self->Finish(static_cast<Answer*>(data)->id);
    }
    // Escape and the window manager's close box answer as Cancel (or No, or OK) does.
    static void OnClose(Fl_Widget* w, void*) {
        auto* self = static_cast<MessageBoxWindow*>(w);
        self->Finish(self->escape_);
    }

    std::string message_, title_;
    std::vector<Answer> answers_;
    int escape_ = kIdOk;
    int answer_ = kIdOk;
};

class FltkBackend : public Backend {
public:
    FltkBackend() {
        // Enables Fl::awake: without the lock FLTK has no pipe to wake the loop with.
        Fl::lock();
        fl_open_display();
        Fl::visual(FL_RGB);
        Fl::background(240, 240, 240);  // the dialogs FLTK draws itself (message boxes)
        Fl::set_boxtype(kRaisedEdgeBox, DrawRaisedEdge, 1, 1, 2, 2);
        Fl::set_boxtype(kThinFrameBox, DrawThinFrame, 1, 1, 2, 2);
    }

    ~FltkBackend() override {
        Fl::do_widget_deletion();
        Fl::unlock();
    }

    std::unique_ptr<Peer> CreatePeer(Control& control) override {
        std::unique_ptr<WidgetPeer> peer;
        switch (control.Kind()) {
            case ControlKind::Form:
                peer = std::make_unique<FormPeer>(static_cast<Form&>(control));
                break;
            case ControlKind::Label:
                peer = std::make_unique<LabelPeer>(static_cast<Label&>(control));
                break;
            case ControlKind::Edit:
                peer = std::make_unique<EditPeer>(static_cast<Edit&>(control));
                break;
            case ControlKind::Button:
                peer = std::make_unique<ButtonPeer>(static_cast<Button&>(control));
                break;
            case ControlKind::RadioButton:
                peer = std::make_unique<RadioPeer>(static_cast<RadioButton&>(control));
                break;
            case ControlKind::ProgressBar:
                peer = std::make_unique<ProgressPeer>(static_cast<ProgressBar&>(control));
                break;
            case ControlKind::Bevel:
                peer = std::make_unique<BevelPeer>(static_cast<Bevel&>(control));
                break;
            case ControlKind::Panel:
                peer = std::make_unique<PanelPeer>(static_cast<Panel&>(control));
                break;
            case ControlKind::Image:
                peer = std::make_unique<ImagePeer>(static_cast<Image&>(control));
                break;
        }
        peer->Attach();
        return peer;
    }

    void WaitForEvents() override {
        // With no window on the screen no event can ever come: the program is over.
        if (!Fl::first_window()) {
            Application::Instance().Terminate();
            return;
        }
        Fl::wait();
        if (!Fl::first_window()) Application::Instance().Terminate();
    }

    void ProcessMessages() override { Fl::check(); }

    void Wake() override { Fl::awake(); }

    void SetCursor(int cursor) override {
        const Fl_Cursor c = cursor == kCrHourGlass ? FL_CURSOR_WAIT : FL_CURSOR_DEFAULT;
        for (Fl_Window* w = Fl::first_window(); w; w = Fl::next_window(w)) w->cursor(c);
        Fl::flush();
    }

    // FLTK's modal window takes all input of the program while it is shown.
    void BeginModal(Form& form) override {
        if (auto* peer = dynamic_cast<FormPeer*>(form.GetPeer())) peer->Window()->set_modal();
    }
    void EndModal(Form& form) override {
        if (auto* peer = dynamic_cast<FormPeer*>(form.GetPeer())) peer->Window()->set_non_modal();
    }

    void MessageSound(unsigned icon) override {
        switch (icon) {
            case kMbIconError:
                fl_beep(FL_BEEP_ERROR);
                break;
            case kMbIconQuestion:
                fl_beep(FL_BEEP_QUESTION);
                break;
            case kMbIconInformation:
                fl_beep(FL_BEEP_MESSAGE);
                break;
            default:
                fl_beep(FL_BEEP_NOTIFICATION);
                break;
        }
    }

    // Windows' message font is Segoe UI of 12 pixels; here it becomes the sans face.
    Font MessageFont() override {
        Font f;
        f.name = "Segoe UI";
        f.height = -12;
        return f;
    }

    Size MeasureText(const Font& font, const std::u16string& text, int wrapWidth,
                     bool prefix) override {
        std::string utf8 = platform::Utf16ToUtf8(text);
        if (prefix && wrapWidth <= 0) {
            // The '&' that marks an accelerator takes no room ("&&" stands for one '&').
            std::string plain;
            for (size_t i = 0; i < utf8.size(); ++i) {
                if (utf8[i] == '&' && i + 1 < utf8.size()) ++i;
                plain.push_back(utf8[i]);
            }
            utf8 = plain;
        }
        fl_font(FaceOf(font), SizeOf(font));
        int w = wrapWidth > 0 ? wrapWidth : 0, h = 0;
        fl_measure(utf8.c_str(), w, h, 0);
        if (h == 0) h = fl_height();
        return {w, h};
    }

    Size ScreenSize() override {
        int x, y, w, h;
        Fl::screen_xywh(x, y, w, h, 0);
        return {w, h};
    }

    // The window manager draws the frame around the client area, where FLTK places it.
    Size FrameSize(const Form&) override { return {0, 0}; }

    // One line of text and the field's sunken border, as Windows sizes an edit field.
    int EditHeight(const Font& font) override {
        fl_font(FaceOf(font), SizeOf(font));
        return fl_height() + 8;
    }

    int ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                       unsigned flags) override {
        Fl_Window* over = nullptr;
        if (owner)
            if (auto* peer = dynamic_cast<FormPeer*>(owner->GetPeer())) over = peer->Window();
        MessageBoxWindow box(text, caption, flags, over);
        return box.Run();
    }
};

}  // namespace

std::unique_ptr<Backend> CreateNativeBackend() {
    return std::make_unique<FltkBackend>();
}

}  // namespace ui
