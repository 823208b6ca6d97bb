// The archive component's own dialog box: a message with a row of buttons, or a password
// prompt. The component's core decides whether to show it (ZipMessageDialog offers every
// question to the program's OnZipDialog handler first); this unit builds, lays out and shows it.
#pragma once

#include <cstdint>
#include <string>

namespace archive {

// The buttons a dialog can carry, by ordinal. A button set is a bit set of these ordinals.
enum TMsgDlgBtn : int {
    mbYes = 0,
    mbNo = 1,
    mbOK = 2,
    mbCancel = 3,
    mbAbort = 4,
    mbRetry = 5,
    mbIgnore = 6,
    mbAll = 7,  // captioned "CancelAll"
    mbNoToAll = 8,
    mbYesToAll = 9,
    mbHelp = 10,  // never shown
};
using TMsgDlgButtons = uint16_t;
constexpr TMsgDlgButtons DlgButton(TMsgDlgBtn b) {
    return static_cast<TMsgDlgButtons>(1u << b);
}

// Modal results: what a dialog answers.
enum : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// A dialog is described by one value: the kind in bits 16 to 20, the context (which question
// this is) in the low 16 bits.
constexpr int32_t zmtWarning = 0x100000;
constexpr int32_t zmtError = 0x110000;
constexpr int32_t zmtInformation = 0x120000;
constexpr int32_t zmtConfirmation = 0x130000;
constexpr int32_t zmtPassword = 0x140000;
constexpr int32_t DialogKind(int32_t kindContext) {
    return (kindContext >> 16) & 0x1F;
}
constexpr int32_t DialogContext(int32_t kindContext) {
    return kindContext & 0xFFFF;
}

// Contexts of the questions on the setup program's paths.
constexpr int32_t kContextMessage = 10000;          // ShowZipMessage
constexpr int32_t kContextException = 10001;        // ShowExceptionError
constexpr int32_t kContextExtractPassword = 10003;  // GetExtrPassword

// Builds the dialog for `kindContext` under the caption `title` (final, not decorated further),
// lays it out, plays the kind's sound and shows it modally. Returns the modal result. In the
// password kind `message` is the prompt on the way in and the entered password on the way out
// (empty unless the result is mrOk); in the other kinds it is left as it is.
int ShowZipDialogBox(const std::string& title, std::string& message, TMsgDlgButtons buttons,
                     int32_t kindContext);

}  // namespace archive
