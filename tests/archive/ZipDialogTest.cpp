// The archive component's dialog box: its layout from measured facts, and the dialog shown on
// the headless backend, whose text metrics are fixed (6 pixels a character, 15 a line, a
// 1024 x 768 screen, a frame of 8 x 31). In dialog units that gives margins of 12 and 15
// pixels, spacings of 15 and 19 (18.75 rounded), buttons of 75 x 26 (26.25 rounded), 6 apart.
#include <gtest/gtest.h>

#include "archive/Zbdlg.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

using namespace archive;

namespace {

constexpr TMsgDlgButtons kOkCancelAll = DlgButton(mbOK) | DlgButton(mbCancel) | DlgButton(mbAll);

ZipDialogRect R(int left, int top, int width, int height) {
    ZipDialogRect r;
    r.left = left, r.top = top, r.width = width, r.height = height;
    return r;
}

ZipDialogRect BoundsOf(const ui::ControlRecord& c) {
    return R(c.left, c.top, c.width, c.height);
}

class ZipDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
    }
    void TearDown() override { ui::Application::Instance().Shutdown(); }

    // Shows a dialog whose user clicks the button of that name (none: the default answer).
    int Show(const std::string& title, std::string& message, TMsgDlgButtons buttons,
             int32_t kindContext, const std::string& click = "",
             const std::u16string& typed = u"") {
        backend->modalResponder = [&](ui::Form& form, const ui::ModalRecord&) {
            if (!typed.empty()) form.Find<ui::Edit>("zbdEdit")->SetText(typed);
            if (!click.empty()) form.Find<ui::Button>(click)->Click();
            return click.empty() && form.DefaultButton() ? form.DefaultButton()->ModalResult() : 0;
        };
        const int result = ShowZipDialogBox(title, message, buttons, kindContext);
        backend->modalResponder = nullptr;
        return result;
    }

    const ui::ModalRecord& Last() const { return backend->modals.back(); }

    ui::HeadlessBackend* backend = nullptr;
};

TEST_F(ZipDialogTest, OkCancelCancelAllMakesThreeButtonsInARowAnsweringOneTwoAndEight) {
    std::string message = "Continue?";
    EXPECT_EQ(Show("Question", message, kOkCancelAll, zmtConfirmation | 10000), mrOk);
    const ui::ModalRecord& r = Last();
    EXPECT_EQ(r.caption, u"Question");
    EXPECT_EQ(r.borderStyle, ui::BorderStyle::Dialog);
    EXPECT_EQ(r.font.name, "Segoe UI");
    // Text 54 x 15 beside the 32-pixel icon; three buttons of 75 make a group of 237.
    EXPECT_EQ(r.clientWidth, 261);
    EXPECT_EQ(r.clientHeight, 107);
    EXPECT_EQ(r.left, 1024 / 2 - (261 + 8) / 2);
    EXPECT_EQ(r.top, 768 / 2 - (107 + 31) / 2);
    ASSERT_NE(r.Find("Image"), nullptr);
    EXPECT_EQ(BoundsOf(*r.Find("Image")), R(12, 15, 32, 32));
    ASSERT_NE(r.Find("zbdText"), nullptr);
    EXPECT_EQ(BoundsOf(*r.Find("zbdText")), R(59, 15, 54, 15));
    EXPECT_EQ(r.Find("zbdText")->caption, u"Continue?");
    EXPECT_TRUE(r.Find("zbdText")->wordWrap);
    EXPECT_EQ(r.Find("zbdEdit"), nullptr);

    const auto buttons = r.OfKind(ui::ControlKind::Button);
    ASSERT_EQ(buttons.size(), 3u);
    const char* names[] = {"zbdlg1", "zbdlg2", "zbdlg3"};
    const char16_t* captions[] = {u"&OK", u"&Cancel", u"CancelAll"};
    const int results[] = {mrOk, mrCancel, mrAll};
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(buttons[i]->name, names[i]);
        EXPECT_EQ(buttons[i]->caption, captions[i]);
        EXPECT_EQ(buttons[i]->modalResult, results[i]);
        EXPECT_EQ(buttons[i]->tabOrder, static_cast<int>(i) + 1);
        EXPECT_TRUE(buttons[i]->tabStop);
        EXPECT_EQ(buttons[i]->isDefault, i == 0);
        EXPECT_EQ(buttons[i]->isCancel, i == 1);
        EXPECT_EQ(BoundsOf(*buttons[i]), R(12 + static_cast<int>(i) * 81, 66, 75, 26));
    }
    EXPECT_EQ(r.activeControl, "zbdlg1");  // Enter presses the focused default button

    EXPECT_EQ(Show("Question", message, kOkCancelAll, zmtConfirmation, "zbdlg2"), mrCancel);
    EXPECT_EQ(Show("Question", message, kOkCancelAll, zmtConfirmation, "zbdlg3"), mrAll);
    EXPECT_EQ(message, "Continue?");  // only the password kind changes the message
}

TEST_F(ZipDialogTest, EscapeAndTheCloseBoxCancel) {
    std::string message = "Continue?";
    backend->modalResponder = [](ui::Form& form, const ui::ModalRecord&) {
        form.CancelButton()->Click();  // what Escape does
        return 0;
    };
    EXPECT_EQ(ShowZipDialogBox("", message, kOkCancelAll, zmtWarning), mrCancel);
    backend->modalResponder = [](ui::Form& form, const ui::ModalRecord&) {
        form.Close();
        return 0;
    };
    EXPECT_EQ(ShowZipDialogBox("", message, DlgButton(mbYes) | DlgButton(mbNo), zmtWarning),
              mrCancel);
    // Yes and No: Yes is the default, No answers Escape.
    const auto buttons = Last().OfKind(ui::ControlKind::Button);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_TRUE(buttons[0]->isDefault && !buttons[0]->isCancel);
    EXPECT_TRUE(buttons[1]->isCancel && !buttons[1]->isDefault);
    EXPECT_EQ(buttons[1]->modalResult, mrNo);
}

TEST_F(ZipDialogTest, PasswordKindHasAFieldAboveTheButtonsAndReturnsItsTextOnlyOnOk) {
    std::string message = "Enter Password ";
    EXPECT_EQ(Show("Password", message, kOkCancelAll, zmtPassword | kContextExtractPassword,
                   "zbdlg1", u"s3cret"),
              mrOk);
    EXPECT_EQ(message, "s3cret");
    const ui::ModalRecord& r = Last();
    // No icon; the field is 80 average characters wide, one line and its border high.
    EXPECT_EQ(r.Find("Image"), nullptr);
    EXPECT_TRUE(backend->sounds.empty());
    EXPECT_EQ(r.clientWidth, 504);
    EXPECT_EQ(r.clientHeight, 128);
    EXPECT_EQ(r.left, 256);
    EXPECT_EQ(r.top, 305);
    EXPECT_EQ(BoundsOf(*r.Find("zbdText")), R(12, 15, 90, 15));
    const ui::ControlRecord* edit = r.Find("zbdEdit");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(BoundsOf(*edit), R(12, 49, 480, 23));
    EXPECT_EQ(edit->passwordChar, u'*');
    EXPECT_EQ(edit->maxLength, 80);
    EXPECT_EQ(edit->tabOrder, 1);
    EXPECT_TRUE(edit->caption.empty());
    EXPECT_EQ(r.activeControl, "zbdEdit");
    const auto buttons = r.OfKind(ui::ControlKind::Button);
    ASSERT_EQ(buttons.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(buttons[i]->tabOrder, static_cast<int>(i) + 2);
        EXPECT_EQ(BoundsOf(*buttons[i]), R(133 + static_cast<int>(i) * 81, 91, 75, 26));
    }

    message = "Enter Password ";
    EXPECT_EQ(Show("Password", message, kOkCancelAll, zmtPassword, "zbdlg2", u"s3cret"), mrCancel);
    EXPECT_EQ(message, "");
    message = "Enter Password ";
    EXPECT_EQ(Show("Password", message, kOkCancelAll, zmtPassword, "zbdlg3", u"s3cret"), mrAll);
    EXPECT_EQ(message, "");
    // The field takes 80 characters at most.
    message = "Enter Password ";
    EXPECT_EQ(
        Show("Password", message, kOkCancelAll, zmtPassword, "zbdlg1", std::u16string(100, u'x')),
        mrOk);
    EXPECT_EQ(message, std::string(80, 'x'));
}

TEST_F(ZipDialogTest, ASetHoldingOnlyOrdinalTenMakesNoButtons) {
    std::string message = "Done";
    // Nothing to press: only closing the dialog answers it.
    EXPECT_EQ(ShowZipDialogBox("", message, DlgButton(mbHelp), zmtInformation), mrCancel);
    const ui::ModalRecord& r = Last();
    EXPECT_TRUE(r.OfKind(ui::ControlKind::Button).empty());
    EXPECT_EQ(r.clientWidth, 24 + 24 + 32 + 15);
    EXPECT_EQ(r.clientHeight, 32 + 26 + 19 + 30);
}

TEST_F(ZipDialogTest, KindChoosesIconAndSound) {
    const struct {
        int32_t kindContext;
        unsigned icon;  // 0: neither icon nor sound
    } cases[] = {
        {0x00000000 | 10000, ui::kMbIconWarning},  // no kind bits: a warning
        {zmtWarning, ui::kMbIconWarning},
        {zmtError | kContextException, ui::kMbIconError},
        {zmtInformation | kContextMessage, ui::kMbIconInformation},
        {zmtConfirmation, ui::kMbIconQuestion},
        {zmtPassword, 0},
        {0x170000, 0},                   // low bits 7, limited to 4
        {0x180000, ui::kMbIconWarning},  // low bits 0
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kindContext);
        std::string message = "Text";
        ShowZipDialogBox("", message, DlgButton(mbOK), c.kindContext);
        const ui::ModalRecord& r = Last();
        if (c.icon) {
            ASSERT_NE(r.Find("Image"), nullptr);
            EXPECT_EQ(r.Find("Image")->icon, c.icon);
            EXPECT_EQ(r.sounds, std::vector<unsigned>{c.icon});
        } else {
            EXPECT_EQ(r.Find("Image"), nullptr);
            EXPECT_TRUE(r.sounds.empty());
        }
    }
}

TEST_F(ZipDialogTest, AMessageWiderThanHalfTheScreenWraps) {
    std::string message;
    for (int i = 0; i < 40; ++i) message += i ? " abcdefghi" : "abcdefghi";
    ShowZipDialogBox("", message, DlgButton(mbOK), zmtError);
    // 512 pixels hold 85 characters: eight words of nine a line, five lines.
    const ui::ControlRecord* text = Last().Find("zbdText");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(BoundsOf(*text), R(59, 15, 79 * 6, 5 * 15));
    EXPECT_EQ(Last().clientWidth, 24 + 32 + 15 + 79 * 6);
}

// Facts as a real screen might give them, for the layout alone.
ZipDialogFacts Facts() {
    ZipDialogFacts f;
    f.avgCharWidth = 7;  // buttons of 87.5 units: 88 pixels
    f.charHeight = 13;
    f.screenWidth = 1280, f.screenHeight = 1024;
    f.frameWidth = 6, f.frameHeight = 29;
    f.captionWidths = {14, 37};
    f.textWidth = 200, f.textHeight = 26;
    f.editHeight = 21;
    return f;
}

TEST_F(ZipDialogTest, DialogUnitsRoundAndButtonsGrowToTheWidestCaption) {
    ZipDialogFacts f = Facts();
    ZipDialogLayout l = LayOutZipDialog(DlgButton(mbOK) | DlgButton(mbCancel), zmtError, f);
    ASSERT_EQ(l.buttons.size(), 2u);
    // Centred: (278 - 183) div 2.
    EXPECT_EQ(l.buttons[0].bounds, R(47, 32 + 13 + 16, 88, 23));
    EXPECT_EQ(l.clientWidth, 200 + 32 + 18 + 2 * 14);
    EXPECT_EQ(l.clientHeight, 32 + 23 + 16 + 2 * 13);

    f.captionWidths = {14, 130};
    l = LayOutZipDialog(DlgButton(mbOK) | DlgButton(mbCancel), zmtError, f);
    EXPECT_EQ(l.buttons[0].bounds.width, 138);
    EXPECT_EQ(l.buttons[1].bounds.width, 138);
    EXPECT_EQ(l.buttons[1].bounds.left - l.buttons[0].bounds.left, 138 + 7);
}

TEST_F(ZipDialogTest, RightToLeftReadingMirrorsTextAndField) {
    ZipDialogFacts f = Facts();
    const ZipDialogLayout ltr = LayOutZipDialog(kOkCancelAll, zmtPassword, f);
    f.rightToLeft = true;
    f.textWidth = 600;  // wider than the field: the field stands at the left margin
    const ZipDialogLayout wide = LayOutZipDialog(kOkCancelAll, zmtPassword, f);
    f.textWidth = 200;
    const ZipDialogLayout rtl = LayOutZipDialog(kOkCancelAll, zmtPassword, f);
    EXPECT_EQ(rtl.text.left, rtl.clientWidth - ltr.text.left - 200);
    EXPECT_EQ(rtl.edit.left, rtl.clientWidth - ltr.edit.left - ltr.edit.width);
    EXPECT_EQ(rtl.buttons[0].bounds, ltr.buttons[0].bounds);
    EXPECT_EQ(wide.edit.left, 14);

    const ZipDialogLayout icon = LayOutZipDialog(DlgButton(mbOK), zmtWarning, f);
    EXPECT_EQ(icon.text.left, icon.clientWidth - (14 + 32 + 18) - 200);
    // The icon goes to the other side too, or the text would cover it.
    EXPECT_EQ(icon.image.left, icon.clientWidth - 14 - 32);
}

TEST_F(ZipDialogTest, ADialogLargerThanTheScreenKeepsItsTitleBarOnIt) {
    ZipDialogFacts f = Facts();
    f.screenWidth = 200, f.screenHeight = 100;
    f.textHeight = 400;  // not limited
    const ZipDialogLayout l = LayOutZipDialog(DlgButton(mbOK), zmtError, f);
    EXPECT_EQ(l.left, 0);
    EXPECT_EQ(l.top, 0);
    EXPECT_EQ(l.text.height, 400);
}

}  // namespace
