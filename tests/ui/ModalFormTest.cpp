// Forms built in code and shown modally, on the headless backend; the screen cursor.
#include <gtest/gtest.h>

#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

using namespace ui;

namespace {

class ModalFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto b = std::make_unique<HeadlessBackend>();
        backend = b.get();
        Application::Instance().Initialize(std::move(b));
        form.SetBorderStyle(BorderStyle::Dialog);
        form.SetClientSize(200, 100);
        yes = form.AddControl<Button>("Yes");
        yes->SetModalResult(kIdYes);
        yes->SetDefault(true);
        no = form.AddControl<Button>("No");
        no->SetModalResult(kIdNo);
        no->SetCancel(true);
        form.BuildWindow();
    }
    void TearDown() override { Application::Instance().Shutdown(); }

    HeadlessBackend* backend = nullptr;
    Form form{"TQuestion"};
    Button* yes = nullptr;
    Button* no = nullptr;
};

TEST_F(ModalFormTest, AButtonWithAModalResultEndsTheShowingAndTheFormIsHiddenAgain) {
    int clicks = 0;
    no->OnClick = [&](Component&) { ++clicks; };
    backend->modalResponder = [&](Form& f, const ModalRecord& r) {
        EXPECT_TRUE(f.Modal());
        EXPECT_EQ(r.controls.size(), 2u);
        f.CancelButton()->Click();
        return 0;
    };
    EXPECT_EQ(form.ShowModal(), kIdNo);
    EXPECT_EQ(clicks, 1);  // the button's own handler runs as well
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(form.Modal());
    // Shown again, it starts without a result; the default answer is the default button's.
    backend->modalResponder = nullptr;
    EXPECT_EQ(form.ShowModal(), kIdYes);
    EXPECT_EQ(backend->modals.size(), 2u);
    EXPECT_EQ(backend->modals[1].clientWidth, 200);
}

TEST_F(ModalFormTest, CloseHandlerCanKeepTheFormOpenUntilTheProgramEnds) {
    int asked = 0;
    form.OnClose = [&](Component&, CloseAction& action) {
        ++asked;
        action = CloseAction::None;
    };
    backend->modalResponder = [](Form& f, const ModalRecord&) {
        f.Close();  // the close box: cancel
        return 0;
    };
    // Kept open, the form waits for events; none ever come here, so the program ends and the
    // form is cancelled after all.
    EXPECT_EQ(form.ShowModal(), kIdCancel);
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(Application::Instance().Terminated());
}

TEST_F(ModalFormTest, AFailingCloseHandlerStillEndsTheShowing) {
    form.OnClose = [](Component&, CloseAction&) { throw Exception("close failed"); };
    EXPECT_THROW(form.ShowModal(), Exception);
    EXPECT_FALSE(form.Visible());
    EXPECT_FALSE(form.Modal());
}

TEST_F(ModalFormTest, AVisibleFormCannotBeShownModally) {
    form.Show();
    EXPECT_THROW(form.ShowModal(), Exception);
    EXPECT_FALSE(form.Modal());
}

TEST_F(ModalFormTest, ScreenCursorReachesTheBackendOncePerChange) {
    Application& app = Application::Instance();
    app.SetScreenCursor(kCrHourGlass);
    app.SetScreenCursor(kCrHourGlass);
    app.SetScreenCursor(kCrDefault);
    EXPECT_EQ(backend->cursors, (std::vector<int>{kCrHourGlass, kCrDefault}));
}

}  // namespace
