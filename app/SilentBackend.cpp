#include "app/SilentBackend.h"

#include "app/RunLog.h"
#include "platform/Console.h"
#include "platform/Text.h"

namespace admin {

int SilentBackend::ShowMessageBox(ui::Form* owner, const std::u16string& text,
                                  const std::u16string& caption, unsigned flags) {
    HeadlessBackend::ShowMessageBox(owner, text, caption, flags);
    // The log has the box already (the application tells it of every box).
    platform::WriteStandardError(platform::Utf16ToUtf8(caption) + ": " +
                                 platform::Utf16ToUtf8(text) + "\n");
    return ui::kIdOk;
}

void SilentBackend::BeginModal(ui::Form& form) {
    HeadlessBackend::BeginModal(form);
    const ui::ModalRecord& shown = modals.back();
    std::string text = platform::Utf16ToUtf8(shown.caption) + ":";
    for (const ui::ControlRecord* label : shown.OfKind(ui::ControlKind::Label))
        if (label->visible && !label->caption.empty())
            text += " " + platform::Utf16ToUtf8(label->caption);
    runlog::Line("Hộp thoại " + text);
    platform::WriteStandardError(text + "\n");
}

}  // namespace admin
