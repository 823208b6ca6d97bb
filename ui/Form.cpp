#include "ui/Form.h"

#include <functional>

#include "platform/Resources.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/FormDescription.h"

namespace ui {

namespace {

void ApplyProperties(Component& c, const ObjectDescription& d, const HandlerTable& handlers) {
    for (const auto& [prop, value] : d.properties) c.SetProperty(prop, value, handlers);
}

}  // namespace

Form::Form(std::string className)
    : Control(nullptr, "", ControlKind::Form), className_(std::move(className)) {
    visible_ = false;
}

Form::~Form() {
    DestroyPeers(*this);
    // Children are deleted before the form; detach them first so none touches a dead parent.
    for (Control* c : children_) c->parent_ = nullptr;
    children_.clear();
    components_.clear();
}

void Form::SetProperty(const std::string& prop, const PropValue& v, const HandlerTable& handlers) {
    if (prop == "ClientWidth") {
        width_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "ClientHeight") {
        height_ = static_cast<int>(v.AsInteger(prop));
    } else if (prop == "BorderStyle") {
        const std::string& id = v.AsIdent(prop);
        if (id == "bsNone") borderStyle_ = BorderStyle::None;
        else if (id == "bsSingle") borderStyle_ = BorderStyle::Single;
        else if (id == "bsSizeable") borderStyle_ = BorderStyle::Sizeable;
        else if (id == "bsDialog") borderStyle_ = BorderStyle::Dialog;
        else throw Exception("Form description, line " + std::to_string(v.line) + ": bad BorderStyle");
    } else if (prop == "BorderIcons") {
        if (v.kind != PropValue::Kind::Set)
            throw Exception("Form description, line " + std::to_string(v.line) + ": BorderIcons needs a set");
        systemMenu_ = minimizeBox_ = maximizeBox_ = false;
        for (const std::string& s : v.set) {
            if (s == "biSystemMenu") systemMenu_ = true;
            else if (s == "biMinimize") minimizeBox_ = true;
            else if (s == "biMaximize") maximizeBox_ = true;
            else throw Exception("Form description, line " + std::to_string(v.line) + ": bad border icon " + s);
        }
    } else if (prop == "Position") {
        const std::string& id = v.AsIdent(prop);
        if (id == "poScreenCenter") position_ = FormPosition::ScreenCenter;
        else if (id == "poDesigned") position_ = FormPosition::Designed;
        else throw Exception("Form description, line " + std::to_string(v.line) + ": bad Position");
    } else if (prop == "OnCreate") {
        OnCreate = handlers.Get<NotifyEvent>(v.AsIdent(prop));
    } else if (prop == "OnDestroy") {
        OnDestroy = handlers.Get<NotifyEvent>(v.AsIdent(prop));
    } else if (prop == "OnClose") {
        OnClose = handlers.Get<CloseEvent>(v.AsIdent(prop));
    } else {
        Control::SetProperty(prop, v, handlers);
    }
}

Component* Form::FindComponent(const std::string& name) const {
    for (const auto& c : components_)
        if (c->Name() == name) return c.get();
    return nullptr;
}

void Form::LoadDescription(const std::string& text) {
    RegisterStandardControls();
    HandlerTable handlers;
    RegisterHandlers(handlers);
    const ObjectDescription root = ParseFormDescription(text);
    if (root.className != className_)
        throw Exception("Form description is for " + root.className + ", not " + className_);
    SetName(root.name);
    SetComponentState(ComponentState() | csLoading);
    ApplyProperties(*this, root, handlers);

    // Children are created depth-first in description order; each takes its parent's font and
    // colour before its own properties apply.
    std::function<void(const ObjectDescription&, Control*)> build = [&](const ObjectDescription& d,
                                                                        Control* parent) {
        for (const ObjectDescription& child : d.children) {
            if (FindComponent(child.name))
                throw Exception("Form description, line " + std::to_string(child.line) +
                                ": duplicate name " + child.name);
            ComponentFactory factory = FindComponentClass(child.className);
            if (!factory)
                throw Exception("Form description, line " + std::to_string(child.line) +
                                ": unknown class " + child.className);
            std::unique_ptr<Component> c = factory(this, child.name);
            Component* raw = c.get();
            raw->SetComponentState(raw->ComponentState() | csLoading);
            components_.push_back(std::move(c));
            auto* control = dynamic_cast<Control*>(raw);
            if (control) control->SetParent(parent);
            ApplyProperties(*raw, child, handlers);
            if (!child.children.empty()) {
                if (!control)
                    throw Exception("Form description, line " + std::to_string(child.line) + ": " +
                                    child.name + " cannot hold controls");
                build(child, control);
            }
        }
    };
    build(root, this);
    for (const auto& c : components_) c->SetComponentState(c->ComponentState() & ~csLoading);
    SetComponentState(ComponentState() & ~csLoading);
    for (const auto& c : components_) c->Loaded();
    Loaded();
}

void Form::Create() {
    platform::ResourceBytes res;
    const std::string resName = platform::UpperAscii(className_);
    if (!platform::FindOwnResource(platform::kResourceRcData, resName, res))
        throw Exception("Resource " + resName + " not found");
    LoadDescription(std::string(reinterpret_cast<const char*>(res.data), res.size));
    if (OnCreate) OnCreate(*this);
    ApplyAlignment(*this);
    CreatePeers(*this);
}

void Form::BuildWindow() {
    if (GetPeer()) return;
    if (OnCreate) OnCreate(*this);
    ApplyAlignment(*this);
    CreatePeers(*this);
}

namespace {

Button* FindButton(const std::vector<std::unique_ptr<Component>>& components,
                   bool (Button::*mark)() const) {
    for (const auto& c : components)
        if (auto* button = dynamic_cast<Button*>(c.get()))
            if ((button->*mark)()) return button;
    return nullptr;
}

}  // namespace

Button* Form::DefaultButton() const {
    return FindButton(components_, &Button::IsDefault);
}

Button* Form::CancelButton() const {
    return FindButton(components_, &Button::IsCancel);
}

int Form::ShowModal() {
    if (destroyed_ || modal_ || Visible()) throw Exception("Cannot make a visible window modal");
    Application& app = Application::Instance();
    Backend& backend = app.GetBackend();
    if (!GetPeer()) BuildWindow();
    modal_ = true;
    modalResult_ = 0;
    backend.BeginModal(*this);
    // However the showing ends (a close handler may throw), the other windows take input again
    // and the form is hidden.
    struct End {
        Form& form;
        Backend& backend;
        ~End() {
            form.modal_ = false;
            backend.EndModal(form);
            form.Hide();
        }
    } end{*this, backend};
    Show();
    while (true) {
        // A program that is ending cancels its modal forms.
        if (app.Terminated() && modalResult_ == 0) modalResult_ = kIdCancel;
        if (modalResult_ != 0) {
            // The close handler may keep the form open (None); a form shown modally is only
            // hidden, whatever the handler says: whoever showed it frees it.
            Application::HandlerScope running;
            CloseAction action = CloseAction::Hide;
            if (OnClose) OnClose(*this, action);
            if (action != CloseAction::None || app.Terminated()) break;
            modalResult_ = 0;
        }
        backend.WaitForEvents();
        app.FreeReleased();
    }
    return modalResult_;
}

void Form::ApplyAlignment(Control& parent) {
    // Panels docked to the top edge stack downwards across the parent's full width.
    int top = 0;
    for (Control* c : parent.Children()) {
        auto* panel = dynamic_cast<Panel*>(c);
        if (panel && panel->GetAlign() == Panel::Align::Top) {
            panel->SetBounds(0, top, parent.Width(), panel->Height());
            top += panel->Height();
        }
        ApplyAlignment(*c);
    }
}

void Form::CreatePeers(Control& c) {
    if (!c.GetPeer()) c.AttachPeer(Application::Instance().GetBackend().CreatePeer(c));
    for (Control* child : c.ChildrenInTabOrder()) CreatePeers(*child);
}

void Form::DestroyPeers(Control& c) {
    for (Control* child : c.Children()) DestroyPeers(*child);
    c.DestroyPeer();
}

void Form::Close() {
    if (destroyed_) return;
    // A modal form closes with the cancel result; its modal loop runs the close handler.
    if (modal_) {
        modalResult_ = kIdCancel;
        return;
    }
    // A main form closes with Free by default, any other with Hide.
    Application::HandlerScope running;
    CloseAction action = Application::Instance().MainForm() == this ? CloseAction::Free : CloseAction::Hide;
    if (OnClose) OnClose(*this, action);
    switch (action) {
        case CloseAction::None:
            return;
        case CloseAction::Hide:
        case CloseAction::Minimize:
            Hide();
            if (Application::Instance().MainForm() == this) Application::Instance().Release(this);
            return;
        case CloseAction::Free:
            Application::Instance().Release(this);
            return;
    }
}

void Form::DestroyWindow() {
    if (destroyed_) return;
    destroyed_ = true;
    if (OnDestroy) {
        try {
            OnDestroy(*this);
        } catch (...) {
            Application::Instance().HandleCurrentException();
        }
    }
    DestroyPeers(*this);
}

}  // namespace ui
