#include "archive/Zbdlg.h"

#include "platform/Text.h"
#include "ui/Application.h"

namespace archive {

// Until the dialog box has its own form, a plain message box stands in for it.
int ShowZipDialogBox(const std::string& title, std::string& message, TMsgDlgButtons buttons,
                     int32_t kindContext) {
    unsigned icon = ui::kMbIconInformation;
    switch (DialogKind(kindContext)) {
        case 0x11:
            icon = ui::kMbIconError;
            break;
        case 0x13:
            icon = ui::kMbIconQuestion;
            break;
        case 0x10:
        case 0:
            icon = ui::kMbIconWarning;
            break;
        default:
            break;
    }
    bool cancel = (buttons & (DlgButton(mbCancel) | DlgButton(mbAll))) != 0;
    int answer = ui::Application::Instance().ShowMessageBox(
        nullptr, platform::AnsiToUtf16(message), platform::AnsiToUtf16(title),
        (cancel ? ui::kMbOkCancel : ui::kMbOk) | icon);
    if (DialogKind(kindContext) == 0x14) message.clear();
    return answer == ui::kIdOk ? mrOk : mrCancel;
}

}  // namespace archive
