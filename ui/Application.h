// The application object: one per program. It owns the forms and the backend that puts them
// on the screen, runs the message loop, and shows escaped errors in its standard error display.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/Form.h"

namespace ui {

// Message box flags and answers, with the values Windows gives them.
enum : unsigned {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbYesNo = 0x4,
    kMbIconError = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconWarning = 0x30,
    kMbIconInformation = 0x40,
    kMbIconMask = 0xF0,
    kMbButtonMask = 0x0F,
};
enum : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Screen cursors, with the values the framework gives them.
enum : int { kCrDefault = 0, kCrHourGlass = -11 };

// What puts the forms on a screen: Win32, FLTK, or nothing at all (headless tests).
class Backend {
public:
    virtual ~Backend() = default;
    // A peer for the control; its parent's peer already exists.
    virtual std::unique_ptr<Peer> CreatePeer(Control& control) = 0;
    // Waits until at least one event arrives and dispatches what has arrived. The application
    // calls it again and again until it is terminated.
    virtual void WaitForEvents() = 0;
    // Dispatches the events that are waiting, without blocking.
    virtual void ProcessMessages() = 0;
    // Makes a WaitForEvents in progress return (after Terminate).
    virtual void Wake() {}
    // A modal message box: text and caption in UTF-16, flags kMb*; returns a kId* answer.
    virtual int ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                           unsigned flags) = 0;
    // Shows `cursor` (kCr*) over every window of the program.
    virtual void SetCursor(int cursor) { (void)cursor; }

    // Modal showing (Form::ShowModal): BeginModal runs just before the form is shown (the
    // program's other windows stop taking input), EndModal once the modal loop has ended,
    // before the form is hidden. A backend that answers modal forms itself (headless) sets the
    // form's modal result in BeginModal.
    virtual void BeginModal(Form& form) = 0;
    virtual void EndModal(Form& form) = 0;
    // The system's sound for a message box with that icon (kMbIcon*).
    virtual void MessageSound(unsigned icon) = 0;

    // Facts for forms that lay themselves out.
    // The font the system gives message boxes.
    virtual Font MessageFont() = 0;
    // The size of `text` in `font`. With `wrapWidth` 0: on one line, where with `prefix` an '&'
    // marks the next character as an accelerator ("&&" is one '&'). Otherwise broken into
    // lines at spaces to fit `wrapWidth` (a longer word stands alone), tabs expanded, no
    // accelerators; the width is that of the widest line.
    virtual Size MeasureText(const Font& font, const std::u16string& text, int wrapWidth,
                             bool prefix) = 0;
    // The primary screen's size.
    virtual Size ScreenSize() = 0;
    // What the window frame adds to the client area of `form` (its border style and icons).
    virtual Size FrameSize(const Form& form) = 0;
    // The height an edit field takes for its font.
    virtual int EditHeight(const Font& font) = 0;
};

// The backend of the platform the program is built for (Win32 or FLTK).
std::unique_ptr<Backend> CreateNativeBackend();

class Application {
public:
    static Application& Instance();

    void Initialize(std::unique_ptr<Backend> backend);
    bool Initialized() const { return backend_ != nullptr; }
    Backend& GetBackend();

    // Creates a form of type T (default-constructible); the first one is the main form.
    template <class T>
    T* CreateForm() {
        auto form = std::make_unique<T>();
        T* raw = form.get();
        forms_.push_back(std::move(form));
        if (!mainForm_) mainForm_ = raw;
        raw->Create();
        return raw;
    }
    Form* MainForm() const { return mainForm_; }

    // Shows the main form and runs the message loop until the program is terminated.
    void Run();
    void ProcessMessages();
    void Terminate();
    bool Terminated() const { return terminated_; }

    int ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                   unsigned flags);
    // Told of every message box (also the standard error display's) just before it is shown:
    // its text, caption and flags. The run's log for the administrator keeps them.
    using MessageBoxObserver =
        std::function<void(const std::u16string& text, const std::u16string& caption, unsigned)>;
    void SetMessageBoxObserver(MessageBoxObserver observer) { boxObserver_ = std::move(observer); }
    // The standard error display: the error's message in a box with the error icon.
    void ShowException(const Exception& e);
    // Call inside a catch block: shows what was caught as ShowException does. Objects that are
    // not exceptions become an error with an empty message.
    void HandleCurrentException();

    // The cursor shown over the program's windows (kCr*).
    int ScreenCursor() const { return screenCursor_; }
    void SetScreenCursor(int cursor);

    const std::u16string& Title() const { return title_; }
    void SetTitle(const std::u16string& t) { title_ = t; }

    // Destroys all forms and the backend (the end of the program, or of a test).
    void Shutdown();

    // Marks a handler running for as long as it lives: forms closed meanwhile are freed only
    // once no handler runs any more, even when a handler pumps messages on the way.
    class HandlerScope {
    public:
        HandlerScope() { ++Instance().handlerDepth_; }
        ~HandlerScope() { --Instance().handlerDepth_; }
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;
    };

private:
    friend class Form;
    // A form closed with the Free action is deleted once the running handler has returned.
    void Release(Form* form);
    void FreeReleased();

    std::unique_ptr<Backend> backend_;
    MessageBoxObserver boxObserver_;
    std::vector<std::unique_ptr<Form>> forms_;
    std::vector<Form*> released_;
    Form* mainForm_ = nullptr;
    bool terminated_ = false;
    int handlerDepth_ = 0;
    int screenCursor_ = kCrDefault;
    std::u16string title_ = u"Setup_iVOX";
};

}  // namespace ui
