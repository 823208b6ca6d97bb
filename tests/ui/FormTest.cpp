// The toolkit's form machinery on the headless backend: loading, inheritance of fonts and
// colours, radio groups, tab order, the standard error display and closing.
#include <gtest/gtest.h>

#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

using namespace ui;

namespace {

struct TestForm : Form {
    TestForm() : Form("TTestForm") {}
    CloseAction closeAction = CloseAction::Free;
    int destroyed = 0;
    bool throwFramework = true;
    void RegisterHandlers(HandlerTable& t) override {
        t.Add<CloseEvent>("FormClose", [this](Component&, CloseAction& a) { a = closeAction; });
        t.Add<NotifyEvent>("FormDestroy", [this](Component&) { ++destroyed; });
        t.Add<NotifyEvent>("Boom", [this](Component&) {
            if (throwFramework) throw Exception("Cannot create file C:\\x");
            throw 42;
        });
    }
};

class FormTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto b = std::make_unique<HeadlessBackend>();
        backend = b.get();
        Application::Instance().Initialize(std::move(b));
    }
    void TearDown() override { Application::Instance().Shutdown(); }
    HeadlessBackend* backend = nullptr;
};

TEST_F(FormTest, ChildrenInheritFontAndColourUnlessTheySetTheirOwn) {
    TestForm* f = Application::Instance().CreateForm<TestForm>();
    auto* inner = f->Find<Label>("Inner");
    auto* plain = f->Find<Label>("Plain");
    EXPECT_EQ(inner->GetFont().name, "Tahoma");
    EXPECT_EQ(inner->GetFont().PixelHeight(), 11);
    EXPECT_TRUE(inner->GetFont().bold);
    EXPECT_FALSE(plain->GetFont().bold);
    EXPECT_EQ(plain->GetFont().color, Color::Rgb(0, 0, 255));
    EXPECT_EQ(plain->GetColor(), Color::Rgb(248, 248, 237));  // a label shows its parent's colour
    EXPECT_EQ(f->Find<Panel>("Top")->GetColor(), Color::System(kColorBtnFace));
}

TEST_F(FormTest, TopAlignedPanelSpansTheClientWidth) {
    TestForm* f = Application::Instance().CreateForm<TestForm>();
    auto* top = f->Find<Panel>("Top");
    EXPECT_EQ(top->Left(), 0);
    EXPECT_EQ(top->Top(), 0);
    EXPECT_EQ(top->Width(), 200);
    EXPECT_EQ(top->Height(), 30);
}

TEST_F(FormTest, RadioButtonsOfOneParentFormOneGroup) {
    TestForm* f = Application::Instance().CreateForm<TestForm>();
    auto* a = f->Find<RadioButton>("A");
    auto* b = f->Find<RadioButton>("B");
    EXPECT_TRUE(a->Checked());
    f->throwFramework = true;
    b->UserClicked();
    EXPECT_TRUE(b->Checked());
    EXPECT_FALSE(a->Checked());
}

TEST_F(FormTest, TabOrderSortsControlsWithoutOneLast) {
    TestForm* f = Application::Instance().CreateForm<TestForm>();
    std::vector<std::string> names;
    for (Control* c : f->ChildrenInTabOrder()) names.push_back(c->Name());
    EXPECT_EQ(names, (std::vector<std::string>{"Go", "B", "A", "Top", "Plain"}));
}

TEST_F(FormTest, AnErrorEscapingAHandlerIsShownAndTheFormStaysUsable) {
    TestForm* f = Application::Instance().CreateForm<TestForm>();
    f->Find<Button>("Go")->Click();
    ASSERT_EQ(backend->boxes.size(), 1u);
    EXPECT_EQ(backend->boxes[0].text, u"Cannot create file C:\\x.");
    EXPECT_EQ(backend->boxes[0].caption, u"Setup_iVOX");
    EXPECT_EQ(backend->boxes[0].Icon(), unsigned(kMbIconError));

    f->throwFramework = false;  // a thrown object that is no exception: an empty message
    f->Find<Button>("Go")->Click();
    ASSERT_EQ(backend->boxes.size(), 2u);
    EXPECT_EQ(backend->boxes[1].text, u"");
    EXPECT_FALSE(f->Destroyed());
}

TEST_F(FormTest, DisabledButtonIgnoresClicks) {
    TestForm* f = Application::Instance().CreateForm<TestForm>();
    f->Find<Button>("Go")->SetEnabled(false);
    f->Find<Button>("Go")->Click();
    EXPECT_TRUE(backend->boxes.empty());
}

TEST_F(FormTest, ClosingWithFreeDestroysTheMainFormAfterTheHandlerAndEndsTheProgram) {
    Application& app = Application::Instance();
    TestForm* f = app.CreateForm<TestForm>();
    f->Close();
    EXPECT_TRUE(app.Terminated());
    EXPECT_EQ(app.MainForm(), f);  // still alive until the running handler has returned
    app.ProcessMessages();
    EXPECT_EQ(app.MainForm(), nullptr);
}

TEST_F(FormTest, CloseActionNoneKeepsTheFormOpen) {
    Application& app = Application::Instance();
    TestForm* f = app.CreateForm<TestForm>();
    f->closeAction = CloseAction::None;
    f->Close();
    app.ProcessMessages();
    EXPECT_FALSE(app.Terminated());
    EXPECT_FALSE(f->Destroyed());
    EXPECT_EQ(f->destroyed, 0);
}

TEST(FormLoading, UnknownHandlersClassesAndPropertiesFailLoudly) {
    struct Bare : Form {
        Bare() : Form("TTestForm") {}  // publishes no handlers at all
    };
    Application::Instance().Initialize(std::make_unique<HeadlessBackend>());
    EXPECT_THROW(Application::Instance().CreateForm<Bare>(), Exception);
    Application::Instance().Shutdown();

    struct Missing : Form {
        Missing() : Form("TNoSuchForm") {}
    };
    Application::Instance().Initialize(std::make_unique<HeadlessBackend>());
    try {
        Application::Instance().CreateForm<Missing>();
        ADD_FAILURE();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Resource TNOSUCHFORM not found");
    }
    Application::Instance().Shutdown();
}

}  // namespace

namespace {

struct PumpingForm : Form {
    PumpingForm() : Form("TTestForm") {}
    bool aliveAfterPump = false;
    void RegisterHandlers(HandlerTable& t) override {
        t.Add<CloseEvent>("FormClose", [](Component&, CloseAction& a) { a = CloseAction::Free; });
        t.Add<NotifyEvent>("FormDestroy", [](Component&) {});
        // A long handler closes its own form and then pumps messages, as progress reports do.
        t.Add<NotifyEvent>("Boom", [this](Component&) {
            Close();
            Application::Instance().ProcessMessages();
            aliveAfterPump = !Destroyed() && Find<Button>("Go") != nullptr;
        });
    }
};

TEST(FormLifetime, AFormClosedInsideAHandlerSurvivesMessagePumpingUntilTheHandlerEnds) {
    Application& app = Application::Instance();
    app.Initialize(std::make_unique<HeadlessBackend>());
    PumpingForm* f = app.CreateForm<PumpingForm>();
    f->Find<Button>("Go")->Click();
    EXPECT_TRUE(f->aliveAfterPump);
    EXPECT_EQ(app.MainForm(), f);
    app.ProcessMessages();
    EXPECT_EQ(app.MainForm(), nullptr);
    app.Shutdown();
}

}  // namespace
