// The setup window on the headless backend, against the machine's registry (the real one of a
// fresh Wine prefix on Windows, the prefix's store on POSIX hosts).
#include <gtest/gtest.h>

#include "app/uUpd.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

using platform::RegRoot;

namespace {

std::u16string U(const char* utf8) { return platform::Utf8ToUtf16(utf8); }

class SetupWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::DeleteKeyTree(RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView);
        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
    }
    void TearDown() override {
        ui::Application::Instance().Shutdown();
        platform::DeleteKeyTree(RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView);
    }
    static void RecordProduct(const char* appPath) {
        platform::RegKey key;
        ASSERT_EQ(key.Create(RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView),
                  platform::kRegOk);
        if (appPath) {
            ASSERT_EQ(key.WriteString(TuUpd::kAppPathValue, appPath), platform::kRegOk);
        }
    }
    TuUpd* Open() { return ui::Application::Instance().CreateForm<TuUpd>(); }
    std::u16string Normalise(TuUpd* w, const std::u16string& text) {
        w->Edit_AppPath->SetText(text);
        w->Edit_AppPath->UserLeft();
        return w->Edit_AppPath->Text();
    }
    ui::HeadlessBackend* backend = nullptr;
};

TEST_F(SetupWindowTest, CaptionsAreSetAtCreation) {
    TuUpd* w = Open();
    EXPECT_EQ(w->Caption(), u"Setup Solvenza Quillora 10");
    EXPECT_EQ(w->lbl_ThongBao->Caption(), U("Thư mục ứng dụng:"));
    EXPECT_EQ(w->Label5->Caption(), U("Công ty Cổ phần Solvenza Việt nam"));
    EXPECT_EQ(w->bt_NangCap->Caption(), U("Thực hiện"));
    EXPECT_EQ(w->bt_Dong->Caption(), U("Đóng"));
    EXPECT_EQ(w->lbl_QuanLyUngDung->Caption(), U("Quản lý ứng dụng"));
    EXPECT_EQ(w->lbl_ChonLuaCacMuc->Caption(), U("Chọn lựa các mục thích hợp để thi hành"));
    EXPECT_FALSE(w->lbl_QuanLyUngDung->Visible());
    EXPECT_FALSE(w->lbl_ChonLuaCacMuc->Visible());
    EXPECT_EQ(w->Label1->Caption(), u"Quillora  Accounting");
    EXPECT_EQ(w->Radio2->Caption(), U("Tháo dỡ"));
    EXPECT_TRUE(backend->boxes.empty());  // start-up reports nothing
}

TEST_F(SetupWindowTest, WithoutTheProductKeyOnlyInstallIsOffered) {
    TuUpd* w = Open();
    EXPECT_EQ(w->Radio1->Caption(), U("Cài đặt"));
    EXPECT_TRUE(w->Radio1->Checked());
    EXPECT_FALSE(w->Radio2->Enabled());
    EXPECT_EQ(w->Edit_AppPath->Text(), u"C:\\Solvenza");
    // Reading must not have created the key.
    platform::RegKey key;
    EXPECT_EQ(key.Open(RegRoot::LocalMachine, TuUpd::kProductKey, false, TuUpd::kProductView),
              platform::kRegNotFound);
}

TEST_F(SetupWindowTest, RecordedProductOffersUpgradeAndUninstallWithItsFolder) {
    RecordProduct("D:\\Apps\\Acc");
    TuUpd* w = Open();
    EXPECT_EQ(w->Radio1->Caption(), U("Nâng cấp"));
    EXPECT_TRUE(w->Radio1->Checked());
    EXPECT_TRUE(w->Radio2->Enabled());
    EXPECT_FALSE(w->Radio2->Checked());
    EXPECT_EQ(w->Edit_AppPath->Text(), u"D:\\Apps\\Acc");
}

TEST_F(SetupWindowTest, RecordedProductWithoutAFolderUsesTheDefault) {
    RecordProduct(nullptr);
    TuUpd* w = Open();
    EXPECT_EQ(w->Radio1->Caption(), U("Nâng cấp"));
    EXPECT_TRUE(w->Radio2->Enabled());
    EXPECT_EQ(w->Edit_AppPath->Text(), u"C:\\Solvenza");
    ui::Application::Instance().Shutdown();

    RecordProduct("");
    ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
    w = Open();
    EXPECT_EQ(w->Radio1->Caption(), U("Nâng cấp"));
    EXPECT_EQ(w->Edit_AppPath->Text(), u"C:\\Solvenza");
}

TEST_F(SetupWindowTest, LeavingTheFolderFieldDropsTrailingBackslashes) {
    TuUpd* w = Open();
    EXPECT_EQ(Normalise(w, u"C:\\Data\\\\\\"), u"C:\\Data");
    EXPECT_EQ(Normalise(w, u"C:\\"), u"C:");
    EXPECT_EQ(Normalise(w, u"\\\\\\\\"), u"");
    EXPECT_EQ(Normalise(w, u"C:\\Da\\ta"), u"C:\\Da\\ta");
    // The field stays in the user's letters, whatever the ANSI code page holds.
    EXPECT_EQ(Normalise(w, U("C:\\Données\\\\")), U("C:\\Données"));
    EXPECT_EQ(Normalise(w, U("C:\\Kế toán\\")), U("C:\\Kế toán"));
}

TEST_F(SetupWindowTest, TheFieldIsNormalisedOnlyWhenItLosesFocus) {
    TuUpd* w = Open();
    w->Edit_AppPath->UserEditedText(u"C:\\Data\\");
    EXPECT_EQ(w->Edit_AppPath->Text(), u"C:\\Data\\");
    w->Edit_AppPath->UserLeft();
    EXPECT_EQ(w->Edit_AppPath->Text(), u"C:\\Data");
}

TEST_F(SetupWindowTest, CloseButtonEndsTheProgram) {
    ui::Application& app = ui::Application::Instance();
    TuUpd* w = Open();
    w->bt_Dong->Click();
    EXPECT_TRUE(app.Terminated());
    app.ProcessMessages();
    EXPECT_EQ(app.MainForm(), nullptr);
}

TEST_F(SetupWindowTest, LayoutFollowsTheWindowDescription) {
    TuUpd* w = Open();
    EXPECT_EQ(w->ClientWidth(), 467);
    EXPECT_EQ(w->ClientHeight(), 316);
    EXPECT_EQ(w->GetBorderStyle(), ui::BorderStyle::Single);
    EXPECT_FALSE(w->HasSystemMenu());
    EXPECT_FALSE(w->HasMinimizeBox());
    EXPECT_FALSE(w->HasMaximizeBox());
    EXPECT_EQ(w->Position(), ui::FormPosition::ScreenCenter);
    EXPECT_EQ(w->GetColor(), ui::Color::Rgb(248, 248, 237));
    EXPECT_EQ(w->GetFont().name, "Tahoma");
    EXPECT_EQ(w->GetFont().PixelHeight(), 11);
    EXPECT_EQ(w->Label1->GetFont().PixelHeight(), 29);
    EXPECT_FALSE(w->Label1->Enabled());
    EXPECT_TRUE(w->Label1->Transparent());
    EXPECT_EQ(w->Label5->GetFont().color, ui::Color::Rgb(0, 0, 255));
    EXPECT_TRUE(w->lbl_QuanLyUngDung->GetFont().bold);
    EXPECT_EQ(w->Panel2->GetColor(), ui::Color::System(ui::kColorWindow));
    EXPECT_EQ(w->Label1->Parent(), w->Panel2);
    EXPECT_EQ(w->Image2->Parent(), w->Panel2);
    EXPECT_TRUE(w->bt_NangCap->IsDefault());
    EXPECT_FALSE(w->ProgressBar1->Visible());
    EXPECT_EQ(w->ProgressBar1->Max(), 100);
    EXPECT_EQ(w->ProgressBar1->Step(), 1);
    EXPECT_EQ(w->Bevel2->Left(), -4);

    std::vector<std::string> order;
    for (ui::Control* c : w->ChildrenInTabOrder())
        if (c->TabOrder() >= 0) order.push_back(c->Name());
    EXPECT_EQ(order, (std::vector<std::string>{"Edit_AppPath", "ProgressBar1", "Panel2", "bt_NangCap",
                                               "bt_Dong", "Radio1", "Radio2"}));

    // The logo is a PNG of 113 x 61 pixels (width and height in the IHDR chunk).
    const std::vector<uint8_t>& png = w->Image2->PictureData();
    ASSERT_GE(png.size(), 24u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    EXPECT_EQ(png[16] << 24 | png[17] << 16 | png[18] << 8 | png[19], 113);
    EXPECT_EQ(png[20] << 24 | png[21] << 16 | png[22] << 8 | png[23], 61);
}

}  // namespace
