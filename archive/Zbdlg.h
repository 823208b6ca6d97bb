// The archive component's own dialog box: a message with a row of buttons, or a password
// prompt. The component's core decides whether to show it (ZipMessageDialog offers every
// question to the program's OnZipDialog handler first); this unit builds, lays out and shows it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/Form.h"

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

// The dialog's kind: the kind bits of `kindContext`, where 0 stands for a warning (0x10).
int32_t ZipDialogKind(int32_t kindContext);
// The icon and sound of a kind: its low 3 bits, at most 4: 0 exclamation, 1 error,
// 2 information, 3 question, 4 none.
int ZipDialogIconIndex(int32_t kind);
constexpr int32_t kPasswordKind = 0x14;

// What the layout is computed from, measured in the dialog's font (the system's message-box
// font) on the screen the dialog is shown on.
struct ZipDialogFacts {
    int avgCharWidth = 0;  // the 64-character sample's width div 64
    int charHeight = 0;    // the sample's height
    int screenWidth = 0, screenHeight = 0;
    int frameWidth = 0, frameHeight = 0;  // what the window frame adds to the client area
    std::vector<int> captionWidths;       // each button's caption on one line, in button order
    int textWidth = 0, textHeight = 0;    // the message wrapped in half the screen width
    int editHeight = 0;                   // the password field's height for the font
    bool rightToLeft = false;             // the application's reading direction
};

struct ZipDialogRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const ZipDialogRect& o) const {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

struct ZipDialogButton {
    TMsgDlgBtn ordinal = mbOK;
    std::string name;     // "zbdlg1", "zbdlg2", ... in creation order
    std::string caption;  // message 10220 + ordinal
    int modalResult = mrNone;
    bool isDefault = false;  // Enter
    bool isCancel = false;   // Escape
    int tabOrder = 0;
    ZipDialogRect bounds;
};

// The whole dialog: client size, place of the window on the screen, and its controls.
struct ZipDialogLayout {
    int32_t kind = 0x10;
    int iconIndex = 0;
    int clientWidth = 0, clientHeight = 0;
    int left = 0, top = 0;  // of the window's outer frame
    bool hasIcon = false;
    ZipDialogRect image;  // "Image", when there is an icon
    ZipDialogRect text;   // "zbdText"
    bool hasEdit = false;
    ZipDialogRect edit;  // "zbdEdit", in the password kind
    std::vector<ZipDialogButton> buttons;
};

// The modal result a button answers with (its caption is message kMsgButtonBase + ordinal).
int ZipDialogModalResult(TMsgDlgBtn button);

// Lays the dialog out from measured facts. Lengths in dialog units become pixels by the
// average character width / 4 horizontally and the character height / 8 vertically (multiply,
// then divide, rounded to the nearest pixel).
ZipDialogLayout LayOutZipDialog(TMsgDlgButtons buttons, int32_t kindContext,
                                const ZipDialogFacts& facts);

// The dialog box: a modal form with a fixed dialog border and the system's message-box font.
class TZipDialogBox : public ui::Form {
public:
    explicit TZipDialogBox(int32_t kindContext);

    // Measures, lays out and creates the controls and the window.
    void Build(const std::string& title, const std::string& message, TMsgDlgButtons buttons);
    // Plays the kind's sound, if it has one, and shows the dialog modally: the modal result.
    int Execute();
    // The password typed into the edit field (password kind), in the ANSI code page.
    std::string Password() const;

    const ZipDialogLayout& Layout() const { return layout_; }
    const ZipDialogFacts& Facts() const { return facts_; }

private:
    int32_t kindContext_;
    ZipDialogFacts facts_;
    ZipDialogLayout layout_;
    ui::Edit* edit_ = nullptr;
};

// Builds the dialog for `kindContext` under the caption `title` (final, not decorated further),
// lays it out, plays the kind's sound and shows it modally. Returns the modal result. In the
// password kind `message` is the prompt on the way in and the entered password on the way out
// (empty unless the result is mrOk); in the other kinds it is left as it is.
int ShowZipDialogBox(const std::string& title, std::string& message, TMsgDlgButtons buttons,
                     int32_t kindContext);

}  // namespace archive
