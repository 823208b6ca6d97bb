#include "ui/Application.h"

#include <algorithm>

#include "platform/Text.h"

namespace ui {

Application& Application::Instance() {
    static Application app;
    return app;
}

void Application::Initialize(std::unique_ptr<Backend> backend) {
    backend_ = std::move(backend);
    terminated_ = false;
}

Backend& Application::GetBackend() {
    if (!backend_) throw Exception("The application is not initialised");
    return *backend_;
}

void Application::Run() {
    if (!mainForm_) return;
    if (!mainForm_->Destroyed()) mainForm_->Show();
    FreeReleased();
    while (!terminated_) {
        GetBackend().WaitForEvents();
        FreeReleased();
    }
}

void Application::ProcessMessages() {
    GetBackend().ProcessMessages();
    FreeReleased();
}

void Application::Terminate() {
    terminated_ = true;
    if (backend_) backend_->Wake();
}

int Application::ShowMessageBox(Form* owner, const std::u16string& text, const std::u16string& caption,
                            unsigned flags) {
    Backend& backend = GetBackend();
    if (boxObserver_) boxObserver_(text, caption, flags);
    return backend.ShowMessageBox(owner, text, caption, flags);
}

void Application::SetScreenCursor(int cursor) {
    if (cursor == screenCursor_) return;
    screenCursor_ = cursor;
    if (backend_) backend_->SetCursor(cursor);
}

void Application::ShowException(const Exception& e) {
    std::u16string text = platform::AnsiToUtf16(e.Message());
    // The standard display ends a sentence with a full stop, as the framework's does.
    if (!text.empty() && text.back() > u'.') text.push_back(u'.');
    if (!backend_) return;  // nothing to show it with: the program is ending anyway
    if (boxObserver_) boxObserver_(text, title_, kMbOk | kMbIconError);
    backend_->ShowMessageBox(nullptr, text, title_, kMbOk | kMbIconError);
}

void Application::HandleCurrentException() {
    try {
        throw;
    } catch (const Exception& e) {
        ShowException(e);
    } catch (const std::exception& e) {
        ShowException(Exception(e.what()));
    } catch (...) {
        ShowException(Exception());
    }
}

void Application::Release(Form* form) {
    if (std::find(released_.begin(), released_.end(), form) == released_.end())
        released_.push_back(form);
    if (form == mainForm_) Terminate();
}

void Application::FreeReleased() {
    if (handlerDepth_ > 0) return;
    while (!released_.empty()) {
        Form* form = released_.front();
        released_.erase(released_.begin());
        form->DestroyWindow();
        if (form == mainForm_) mainForm_ = nullptr;
        forms_.erase(std::remove_if(forms_.begin(), forms_.end(),
                                    [form](const std::unique_ptr<Form>& f) { return f.get() == form; }),
                     forms_.end());
    }
}

void Application::Shutdown() {
    for (auto& f : forms_) f->DestroyWindow();
    forms_.clear();
    released_.clear();
    mainForm_ = nullptr;
    backend_.reset();
    screenCursor_ = kCrDefault;
    terminated_ = false;
}

}  // namespace ui
