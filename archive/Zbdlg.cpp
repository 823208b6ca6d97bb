#include "archive/Zbdlg.h"

#include <algorithm>
#include <cstdio>

#include "archive/Zbmsgstr.h"
#include "platform/Text.h"
#include "ui/Application.h"

namespace archive {

namespace {

// Layout lengths in dialog units.
constexpr int kHorzMargin = 8;
constexpr int kVertMargin = 8;
constexpr int kHorzSpacing = 10;
constexpr int kVertSpacing = 10;
constexpr int kButtonWidth = 50;
constexpr int kButtonHeight = 14;
constexpr int kButtonSpacing = 4;
// In pixels: the icon, and the room a caption needs beside its text.
constexpr int kIconSize = 32;
constexpr int kCaptionPadding = 8;
// The password field takes this many characters and is this many average characters wide.
constexpr int kPasswordChars = 80;
constexpr char16_t kPasswordChar = u'*';

// The character sample the average width comes from: 64 characters.
constexpr char16_t kSample[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxy 0123456789:";
static_assert(sizeof kSample / sizeof kSample[0] == 65, "the sample has 64 characters");

const int kModalResults[] = {mrYes,    mrNo,  mrOk,      mrCancel,   mrAbort, mrRetry,
                             mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone};

// a * b / c rounded to the nearest integer, halves away from zero (the system's MulDiv).
int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    long long p = static_cast<long long>(a) * b, d = c;
    const bool negative = (p < 0) != (d < 0);
    p = p < 0 ? -p : p;
    d = d < 0 ? -d : d;
    const long long q = (p + d / 2) / d;
    return static_cast<int>(negative ? -q : q);
}

// The ordinals 0 to 9 of the set, in ordinal order: the buttons the dialog shows.
std::vector<TMsgDlgBtn> ShownButtons(TMsgDlgButtons buttons) {
    std::vector<TMsgDlgBtn> out;
    for (int b = mbYes; b <= mbYesToAll; ++b)
        if (buttons & DlgButton(static_cast<TMsgDlgBtn>(b)))
            out.push_back(static_cast<TMsgDlgBtn>(b));
    return out;
}

bool Has(TMsgDlgButtons buttons, TMsgDlgBtn b) {
    return (buttons & DlgButton(b)) != 0;
}

unsigned IconFlag(int iconIndex) {
    switch (iconIndex) {
        case 0:
            return ui::kMbIconWarning;
        case 1:
            return ui::kMbIconError;
        case 2:
            return ui::kMbIconInformation;
        case 3:
            return ui::kMbIconQuestion;
        default:
            return 0;
    }
}

ZipDialogRect Rect(int left, int top, int width, int height) {
    ZipDialogRect r;
    r.left = left, r.top = top, r.width = width, r.height = height;
    return r;
}

}  // namespace

int32_t ZipDialogKind(int32_t kindContext) {
    const int32_t kind = DialogKind(kindContext);
    return kind == 0 ? 0x10 : kind;
}

int ZipDialogIconIndex(int32_t kind) {
    return std::min(kind & 7, 4);
}

int ZipDialogModalResult(TMsgDlgBtn button) {
    return button >= mbYes && button <= mbHelp ? kModalResults[button] : mrNone;
}

ZipDialogLayout LayOutZipDialog(TMsgDlgButtons buttons, int32_t kindContext,
                                const ZipDialogFacts& f) {
    ZipDialogLayout l;
    l.kind = ZipDialogKind(kindContext);
    l.iconIndex = ZipDialogIconIndex(l.kind);
    l.hasIcon = l.iconIndex < 4;
    const bool password = l.kind == kPasswordKind;

    const int horzMargin = MulDiv(kHorzMargin, f.avgCharWidth, 4);
    const int vertMargin = MulDiv(kVertMargin, f.charHeight, 8);
    const int horzSpacing = MulDiv(kHorzSpacing, f.avgCharWidth, 4);
    const int vertSpacing = MulDiv(kVertSpacing, f.charHeight, 8);
    int buttonWidth = MulDiv(kButtonWidth, f.avgCharWidth, 4);
    const int buttonHeight = MulDiv(kButtonHeight, f.charHeight, 8);
    const int buttonSpacing = MulDiv(kButtonSpacing, f.avgCharWidth, 4);

    // Enter answers with the default button, Escape with the cancel button.
    const TMsgDlgBtn defaultButton = Has(buttons, mbOK)    ? mbOK
                                     : Has(buttons, mbYes) ? mbYes
                                                           : mbRetry;
    const TMsgDlgBtn cancelButton = Has(buttons, mbCancel) ? mbCancel
                                    : Has(buttons, mbNo)   ? mbNo
                                                           : mbOK;

    // Every button is as wide as the widest caption needs, at least the designed width.
    const std::vector<TMsgDlgBtn> shown = ShownButtons(buttons);
    for (size_t i = 0; i < shown.size(); ++i) {
        ZipDialogButton b;
        b.ordinal = shown[i];
        char name[16];
        std::snprintf(name, sizeof name, "zbdlg%d", static_cast<int>(i + 1));
        b.name = name;
        b.caption = ZipLoadStr(kMsgButtonBase + shown[i]);
        b.modalResult = ZipDialogModalResult(shown[i]);
        b.isDefault = shown[i] == defaultButton;
        b.isCancel = shown[i] == cancelButton;
        b.tabOrder = static_cast<int>(i) + (password ? 2 : 1);
        const int captionWidth = i < f.captionWidths.size() ? f.captionWidths[i] : 0;
        buttonWidth = std::max(buttonWidth, captionWidth + kCaptionPadding);
        l.buttons.push_back(b);
    }

    const int textWidth = f.textWidth, textHeight = f.textHeight;
    const int iconTextWidth = textWidth + (l.hasIcon ? kIconSize + horzSpacing : 0);
    const int iconTextHeight = l.hasIcon ? std::max(textHeight, kIconSize) : textHeight;
    const int n = static_cast<int>(l.buttons.size());
    const int buttonGroupWidth = n == 0 ? 0 : n * buttonWidth + (n - 1) * buttonSpacing;

    int contentWidth = std::max(iconTextWidth, buttonGroupWidth);
    if (password) contentWidth = std::max(contentWidth, kPasswordChars * f.avgCharWidth);
    int contentHeight = iconTextHeight + buttonHeight;
    int editRoom = 0;
    if (password) {
        l.hasEdit = true;
        l.edit =
            Rect(horzMargin + iconTextWidth - textWidth, vertMargin + iconTextHeight + vertSpacing,
                 std::max(kPasswordChars * f.avgCharWidth, textWidth), f.editHeight);
        contentHeight += f.editHeight + vertMargin;
        editRoom = f.editHeight + vertSpacing;
    }

    l.clientWidth = contentWidth + 2 * horzMargin;
    l.clientHeight = contentHeight + vertSpacing + 2 * vertMargin;
    const int dialogWidth = l.clientWidth + f.frameWidth;
    const int dialogHeight = l.clientHeight + f.frameHeight;
    // Centred on the screen; one larger than the screen keeps its title bar on the screen.
    l.left = std::max(0, f.screenWidth / 2 - dialogWidth / 2);
    l.top = std::max(0, f.screenHeight / 2 - dialogHeight / 2);

    if (l.hasIcon) l.image = Rect(horzMargin, vertMargin, kIconSize, kIconSize);
    l.text = Rect(horzMargin + iconTextWidth - textWidth, vertMargin, textWidth, textHeight);

    int x = (l.clientWidth - buttonGroupWidth) / 2;
    const int y = iconTextHeight + vertMargin + vertSpacing + editRoom;
    for (ZipDialogButton& b : l.buttons) {
        b.bounds = Rect(x, y, buttonWidth, buttonHeight);
        x += buttonWidth + buttonSpacing;
    }

    // Right-to-left reading puts the text and the field at the mirrored place, and the icon
    // as well: left where it was, the mirrored text would cover it.
    if (f.rightToLeft) {
        l.text.left = l.clientWidth - l.text.left - l.text.width;
        if (l.hasEdit) l.edit.left = l.clientWidth - l.edit.left - l.edit.width;
        if (l.hasIcon) l.image.left = l.clientWidth - l.image.left - l.image.width;
    }
    return l;
}

TZipDialogBox::TZipDialogBox(int32_t kindContext)
    : ui::Form("TZipDialogBox"), kindContext_(kindContext) {
    SetBorderStyle(ui::BorderStyle::Dialog);
    SetBorderIcons(true, false, false);
    SetPosition(ui::FormPosition::Designed);
}

void TZipDialogBox::Build(const std::string& title, const std::string& message,
                          TMsgDlgButtons buttons) {
    ui::Backend& backend = ui::Application::Instance().GetBackend();
    SetFont(backend.MessageFont());
    SetCaption(platform::AnsiToUtf16(title));
    const std::u16string text = platform::AnsiToUtf16(message);

    // The facts, measured in the dialog's font.
    const ui::Font& font = GetFont();
    const ui::Size sample = backend.MeasureText(font, kSample, 0, false);
    facts_.avgCharWidth = sample.width / 64;
    facts_.charHeight = sample.height;
    const ui::Size screen = backend.ScreenSize();
    facts_.screenWidth = screen.width;
    facts_.screenHeight = screen.height;
    const ui::Size frame = backend.FrameSize(*this);
    facts_.frameWidth = frame.width;
    facts_.frameHeight = frame.height;
    for (TMsgDlgBtn b : ShownButtons(buttons))
        facts_.captionWidths.push_back(
            backend
                .MeasureText(font, platform::AnsiToUtf16(ZipLoadStr(kMsgButtonBase + b)), 0, true)
                .width);
    const ui::Size measured = backend.MeasureText(font, text, screen.width / 2, false);
    facts_.textWidth = measured.width;
    facts_.textHeight = measured.height;
    // A field designed 15 pixels high takes the height its font needs.
    facts_.editHeight = backend.EditHeight(font);
    facts_.rightToLeft = false;  // the application reads left to right

    layout_ = LayOutZipDialog(buttons, kindContext_, facts_);
    const ZipDialogLayout& l = layout_;
    SetBounds(l.left, l.top, l.clientWidth, l.clientHeight);

    if (l.hasIcon) {
        auto* image = AddControl<ui::Image>("Image");
        image->SetSystemIcon(IconFlag(l.iconIndex));
        image->SetBounds(l.image.left, l.image.top, l.image.width, l.image.height);
    }
    auto* label = AddControl<ui::Label>("zbdText");
    label->SetWordWrap(true);
    label->SetAutoSize(false);
    label->SetCaption(text);
    label->SetBounds(l.text.left, l.text.top, l.text.width, l.text.height);
    if (l.hasEdit) {
        edit_ = AddControl<ui::Edit>("zbdEdit");
        edit_->SetPasswordChar(kPasswordChar);
        edit_->SetMaxLength(kPasswordChars);
        edit_->SetTabOrder(1);
        edit_->SetBounds(l.edit.left, l.edit.top, l.edit.width, l.edit.height);
        SetActiveControl(edit_);
    }
    for (const ZipDialogButton& b : l.buttons) {
        auto* button = AddControl<ui::Button>(b.name);
        button->SetCaption(platform::AnsiToUtf16(b.caption));
        button->SetModalResult(b.modalResult);
        button->SetDefault(b.isDefault);
        button->SetCancel(b.isCancel);
        button->SetTabOrder(b.tabOrder);
        button->SetTabStop(true);
        button->SetBounds(b.bounds.left, b.bounds.top, b.bounds.width, b.bounds.height);
        // Without a field to type into, the focus starts on the button Enter presses.
        if (b.isDefault && !l.hasEdit) SetActiveControl(button);
    }
    BuildWindow();
}

int TZipDialogBox::Execute() {
    if (const unsigned icon = IconFlag(layout_.iconIndex))
        ui::Application::Instance().GetBackend().MessageSound(icon);
    return ShowModal();
}

std::string TZipDialogBox::Password() const {
    return edit_ ? platform::Utf16ToAnsi(edit_->Text()) : std::string();
}

int ShowZipDialogBox(const std::string& title, std::string& message, TMsgDlgButtons buttons,
                     int32_t kindContext) {
    TZipDialogBox box(kindContext);
    box.Build(title, message, buttons);
    const int result = box.Execute();
    if (box.Layout().kind == kPasswordKind) message = result == mrOk ? box.Password() : "";
    return result;
}

}  // namespace archive
