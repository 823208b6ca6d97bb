// Forms: top-level windows built from a form description embedded in the program as a raw
// data resource named after the form's class (upper case, e.g. "TUUPD"), or built in code
// (AddControl, then BuildWindow).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ui/Controls.h"

namespace ui {

enum class CloseAction { None = 0, Hide = 1, Free = 2, Minimize = 3 };
using CloseEvent = std::function<void(Component& sender, CloseAction& action)>;

enum class BorderStyle { None, Single, Sizeable, Dialog };
enum class FormPosition { Designed, ScreenCenter };

class Form : public Control {
public:
    explicit Form(std::string className);
    ~Form() override;

    const std::string& ClassName() const { return className_; }
    int ClientWidth() const { return width_; }
    int ClientHeight() const { return height_; }
    BorderStyle GetBorderStyle() const { return borderStyle_; }
    // Whether the title bar carries the system menu (and with it the close box).
    bool HasSystemMenu() const { return systemMenu_; }
    bool HasMinimizeBox() const { return minimizeBox_; }
    bool HasMaximizeBox() const { return maximizeBox_; }
    FormPosition Position() const { return position_; }

    // Loads the description, runs OnCreate and creates the window. Called by the application.
    void Create();

    // Building in code: the form's frame, size and place, then its controls, then the window.
    void SetBorderStyle(BorderStyle style) { borderStyle_ = style; }
    void SetBorderIcons(bool systemMenu, bool minimize, bool maximize) {
        systemMenu_ = systemMenu, minimizeBox_ = minimize, maximizeBox_ = maximize;
    }
    void SetPosition(FormPosition position) { position_ = position; }
    // For a designed position, Left and Top are those of the window's outer frame.
    void SetClientSize(int width, int height) { SetBounds(left_, top_, width, height); }
    // A new control of type T owned by the form, inside `parent` (the form when null).
    template <class T>
    T* AddControl(const std::string& name, Control* parent = nullptr) {
        auto control = std::make_unique<T>(this, name);
        T* raw = control.get();
        components_.push_back(std::move(control));
        raw->SetParent(parent ? parent : this);
        return raw;
    }
    // Runs OnCreate and creates the window of a form built in code.
    void BuildWindow();

    // The control that has the focus when the form is first shown (null: the first in tab
    // order).
    Control* ActiveControl() const { return activeControl_; }
    void SetActiveControl(Control* control) { activeControl_ = control; }
    // The buttons that Enter and Escape press (null when there is none).
    Button* DefaultButton() const;
    Button* CancelButton() const;

    // Shows the form modally: the program's other windows take no input until a button with a
    // modal result is clicked, or the form is closed (modal result 2, cancel). Returns the
    // modal result; the form is hidden again, not freed.
    int ShowModal();
    bool Modal() const { return modal_; }
    int ModalResult() const { return modalResult_; }
    void SetModalResult(int result) { modalResult_ = result; }
    // Asks the form to close: OnClose may change the action; Free destroys the form once the
    // running handler has returned; closing the main form ends the program.
    void Close();
    bool Destroyed() const { return destroyed_; }

    Component* FindComponent(const std::string& name) const;
    // The component of that name and type; throws when the description lacks it.
    template <class T>
    T* Find(const std::string& name) const {
        T* c = dynamic_cast<T*>(FindComponent(name));
        if (!c) throw Exception("Component " + name + " not found in form " + className_);
        return c;
    }
    const std::vector<std::unique_ptr<Component>>& Components() const { return components_; }

    NotifyEvent OnCreate;
    NotifyEvent OnDestroy;
    CloseEvent OnClose;

    void SetProperty(const std::string& prop, const PropValue& value,
                     const HandlerTable& handlers) override;

protected:
    // The form publishes its handler methods here, by the names its description uses.
    virtual void RegisterHandlers(HandlerTable& table) { (void)table; }

private:
    friend class Application;
    void LoadDescription(const std::string& text);
    void ApplyAlignment(Control& parent);
    void CreatePeers(Control& c);
    void DestroyPeers(Control& c);
    // Runs OnDestroy and removes the window; the application deletes the object afterwards.
    void DestroyWindow();

    std::string className_;
    std::vector<std::unique_ptr<Component>> components_;
    BorderStyle borderStyle_ = BorderStyle::Sizeable;
    bool systemMenu_ = true, minimizeBox_ = true, maximizeBox_ = true;
    FormPosition position_ = FormPosition::Designed;
    bool destroyed_ = false;
    Control* activeControl_ = nullptr;
    bool modal_ = false;
    int modalResult_ = 0;
};

}  // namespace ui
