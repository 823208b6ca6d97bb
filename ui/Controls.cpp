#include "ui/Controls.h"

#include <algorithm>

#include "platform/Text.h"
#include "ui/Application.h"

namespace ui {

namespace {

[[noreturn]] void BadValue(const PropValue& v, const std::string& prop) {
    throw Exception("Form description, line " + std::to_string(v.line) + ": bad value for " + prop);
}

Color ParseColor(const PropValue& v, const std::string& prop) {
    if (v.kind == PropValue::Kind::Integer) return Color{static_cast<uint32_t>(v.integer)};
    const std::string& id = v.AsIdent(prop);
    static const struct {
        const char* name;
        Color color;
    } kNames[] = {
        {"clBlack", Color::Rgb(0, 0, 0)},
        {"clWhite", Color::Rgb(255, 255, 255)},
        {"clBlue", Color::Rgb(0, 0, 255)},
        {"clNavy", Color::Rgb(0, 0, 128)},
        {"clRed", Color::Rgb(255, 0, 0)},
        {"clGray", Color::Rgb(128, 128, 128)},
        {"clWindow", Color::System(kColorWindow)},
        {"clWindowText", Color::System(kColorWindowText)},
        {"clBtnFace", Color::System(kColorBtnFace)},
        {"clBtnShadow", Color::System(kColorBtnShadow)},
        {"clGrayText", Color::System(kColorGrayText)},
    };
    for (const auto& n : kNames)
        if (id == n.name) return n.color;
    BadValue(v, prop);
}

bool Focusable(ControlKind k) {
    return k == ControlKind::Edit || k == ControlKind::Button || k == ControlKind::RadioButton;
}

// Whether a control of this kind takes the colour of its parent unless told otherwise.
bool TakesParentColor(ControlKind k) {
    return k == ControlKind::Label || k == ControlKind::RadioButton || k == ControlKind::Bevel ||
           k == ControlKind::Image;
}

template <class T>
void Register(const char* className) {
    RegisterComponentClass(className, [](Component* owner, const std::string& name) {
        return std::unique_ptr<Component>(new T(owner, name));
    });
}

}  // namespace

Control::Control(Component* owner, std::string name, ControlKind kind)
    : Component(owner, std::move(name)), kind_(kind), tabStop_(Focusable(kind)) {}

Control::~Control() {
    peer_.reset();
    if (parent_) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    for (Control* c : children_) c->parent_ = nullptr;
}

void Control::SetParent(Control* parent) {
    if (parent_) {
        auto& siblings = parent_->children_;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    parent_ = parent;
    if (!parent_) return;
    parent_->children_.push_back(this);
    if (!ownFont_) font_ = parent_->font_;
    if (!ownColor_ && TakesParentColor(kind_)) color_ = parent_->color_;
}

std::vector<Control*> Control::ChildrenInTabOrder() const {
    std::vector<Control*> out = children_;
    std::stable_sort(out.begin(), out.end(), [](const Control* a, const Control* b) {
        const int ta = a->tabOrder_ < 0 ? 1 << 30 : a->tabOrder_;
        const int tb = b->tabOrder_ < 0 ? 1 << 30 : b->tabOrder_;
        return ta < tb;
    });
    return out;
}

void Control::SetBounds(int left, int top, int width, int height) {
    left_ = left, top_ = top, width_ = width, height_ = height;
    Notify(Prop::Bounds);
}

void Control::SetVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    Notify(Prop::Visible);
}

void Control::SetEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    Notify(Prop::Enabled);
}

void Control::SetCaption(const std::u16string& text) {
    caption_ = text;
    Notify(Prop::Caption);
}

void Control::SetFont(const Font& font) {
    ownFont_ = true;
    InheritFont(font);
}

void Control::InheritFont(const Font& font) {
    font_ = font;
    Notify(Prop::Font);
    for (Control* c : children_)
        if (!c->ownFont_) c->InheritFont(font);
}

void Control::SetColor(Color c) {
    color_ = c;
    ownColor_ = true;
    Notify(Prop::Color);
}

void Control::Fire(const NotifyEvent& handler) {
    if (!handler) return;
    Application::HandlerScope running;
    try {
        handler(*this);
    } catch (...) {
        Application::Instance().HandleCurrentException();
    }
}

void Control::UserClicked() {
    if (!enabled_) return;
    if (auto* radio = dynamic_cast<RadioButton*>(this)) radio->SetChecked(true);
    if (auto* button = dynamic_cast<Button*>(this); button && button->ModalResult() != 0) {
        Control* c = parent_;
        while (c && c->kind_ != ControlKind::Form) c = c->parent_;
        if (c) static_cast<Form*>(c)->SetModalResult(button->ModalResult());
    }
    Fire(OnClick);
}

void Control::UserLeft() { Fire(OnExit); }

void Control::UserEditedText(const std::u16string& text) { caption_ = text; }

void Control::MeasuredSize(int width, int height) {
    width_ = width;
    height_ = height;
}

void Control::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "Left") {
        left_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Top") {
        top_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Width") {
        width_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Height") {
        height_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Visible") {
        visible_ = v.AsBool(prop);
    } else if (prop == "Enabled") {
        enabled_ = v.AsBool(prop);
    } else if (prop == "Caption" || prop == "Text") {
        caption_ = platform::Utf8ToUtf16(v.AsString(prop));
    } else if (prop == "TabOrder") {
        tabOrder_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "TabStop") {
        tabStop_ = v.AsBool(prop);
    } else if (prop == "Color") {
        color_ = ParseColor(v, prop);
        ownColor_ = true;
    } else if (prop == "Font.Name") {
        font_.name = v.AsString(prop);
        ownFont_ = true;
    } else if (prop == "Font.Height") {
        font_.height = static_cast<int>(v.AsInteger(prop));
        ownFont_ = true;
    } else if (prop == "Font.Color") {
        font_.color = ParseColor(v, prop);
        ownFont_ = true;
    } else if (prop == "Font.Style") {
        if (v.kind != PropValue::Kind::Set) BadValue(v, prop);
        font_.bold = false;
        for (const std::string& s : v.set) {
            if (s == "fsBold") font_.bold = true;
            else BadValue(v, prop);
        }
        ownFont_ = true;
    } else if (prop == "OnClick") {
        OnClick = handlers.Get<NotifyEvent>(v.AsIdent(prop));
    } else if (prop == "OnExit") {
        OnExit = handlers.Get<NotifyEvent>(v.AsIdent(prop));
    } else {
        Component::SetProperty(prop, v, handlers);
    }
}

void Label::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "AutoSize") {
        autoSize_ = v.AsBool(prop);
    } else if (prop == "Transparent") {
        transparent_ = v.AsBool(prop);
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

Edit::Edit(Component* owner, std::string name) : Control(owner, std::move(name), ControlKind::Edit) {
    color_ = Color::System(kColorWindow);
}

void Edit::SetText(const std::u16string& t) {
    if (maxLength_ > 0 && t.size() > static_cast<size_t>(maxLength_))
        SetCaption(t.substr(0, static_cast<size_t>(maxLength_)));
    else
        SetCaption(t);
}

Button::Button(Component* owner, std::string name)
    : Control(owner, std::move(name), ControlKind::Button) {}

void Button::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "Default") {
        default_ = v.AsBool(prop);
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

RadioButton::RadioButton(Component* owner, std::string name)
    : Control(owner, std::move(name), ControlKind::RadioButton) {}

void RadioButton::SetChecked(bool c) {
    if (c && parent_) {
        for (Control* sibling : parent_->Children()) {
            auto* other = dynamic_cast<RadioButton*>(sibling);
            if (other && other != this && other->checked_) {
                other->checked_ = false;
                other->Notify(Prop::Checked);
            }
        }
    }
    if (checked_ == c) return;
    checked_ = c;
    Notify(Prop::Checked);
}

void RadioButton::SetProperty(const std::string& prop, const PropValue& v,
                              const HandlerTable& handlers) {
    if (prop == "Checked") {
        SetChecked(v.AsBool(prop));
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

ProgressBar::ProgressBar(Component* owner, std::string name)
    : Control(owner, std::move(name), ControlKind::ProgressBar) {}

void ProgressBar::SetPosition(int p) {
    p = std::clamp(p, min_, max_);
    if (p == position_) return;
    position_ = p;
    Notify(Prop::Position);
}

void ProgressBar::SetProperty(const std::string& prop, const PropValue& v,
                              const HandlerTable& handlers) {
    if (prop == "Min") {
        min_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Max") {
        max_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Step") {
        step_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "Position") {
        position_ = static_cast<int>(v.AsInteger(prop));
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

void Bevel::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "Shape") {
        static const std::pair<const char*, Shape> kShapes[] = {
            {"bsBox", Shape::Box},           {"bsFrame", Shape::Frame},
            {"bsTopLine", Shape::TopLine},   {"bsBottomLine", Shape::BottomLine},
            {"bsLeftLine", Shape::LeftLine}, {"bsRightLine", Shape::RightLine}};
        const std::string& id = v.AsIdent(prop);
        for (const auto& s : kShapes)
            if (id == s.first) {
                shape_ = s.second;
                return;
            }
        BadValue(v, prop);
    } else if (prop == "Style") {
        const std::string& id = v.AsIdent(prop);
        if (id != "bsLowered" && id != "bsRaised") BadValue(v, prop);
        lowered_ = id == "bsLowered";
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

Panel::Panel(Component* owner, std::string name) : Control(owner, std::move(name), ControlKind::Panel) {}

void Panel::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "Align") {
        static const std::pair<const char*, Align> kAligns[] = {
            {"alNone", Align::None}, {"alTop", Align::Top},     {"alBottom", Align::Bottom},
            {"alLeft", Align::Left}, {"alRight", Align::Right}, {"alClient", Align::Client}};
        const std::string& id = v.AsIdent(prop);
        for (const auto& a : kAligns)
            if (id == a.first) {
                align_ = a.second;
                return;
            }
        BadValue(v, prop);
    } else if (prop == "BevelOuter") {
        const std::string& id = v.AsIdent(prop);
        if (id != "bvNone" && id != "bvRaised" && id != "bvLowered") BadValue(v, prop);
        bevelOuter_ = id != "bvNone";
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

void Image::SetSystemIcon(unsigned icon) {
    systemIcon_ = icon;
    Notify(Prop::Picture);
}

void Image::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "Picture.Data") {
        if (v.kind != PropValue::Kind::Binary) BadValue(v, prop);
        picture_ = v.bytes;
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

void RegisterStandardControls() {
    Register<Label>("TTntLabel");
    Register<Edit>("TTntEdit");
    Register<Button>("TTntButton");
    Register<RadioButton>("TTntRadioButton");
    Register<ProgressBar>("TProgressBar");
    Register<Bevel>("TBevel");
    Register<Panel>("TTntPanel");
    Register<Image>("TImage");
}

}  // namespace ui
