// The archive component's public face: its life on a form, the bracket around operations,
// re-entry, the error view, temporary names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/uUpd.h"
#include "archive/Zbmsgstr.h"
#include "archive/ZipBuilder.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/support/TestDrives.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

class ZipBuilderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
    }
    void TearDown() override { ui::Application::Instance().Shutdown(); }

    // Records every OnMessage of the component.
    void RecordMessages(TCustomZipBuilder& z) {
        z.SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            messages.push_back(std::to_string(code) + " " + m);
        });
    }

    ui::HeadlessBackend* backend = nullptr;
    std::vector<std::string> messages;
};

TEST_F(ZipBuilderTest, MadeAtRunTimeItIsActiveWithItsDefaults) {
    TZipBuilder z(nullptr, "z");
    EXPECT_TRUE(z.Active());
    EXPECT_TRUE(z.Worker().Active());
    EXPECT_FALSE(z.Busy());
    EXPECT_EQ(z.PasswordReqCount(), 1u);
    EXPECT_EQ(z.Version(), "1.79.08.01");
    EXPECT_EQ(z.Build(), 1790801);
    EXPECT_EQ(z.SFXCaption, "Self-extracting Archive");
    EXPECT_EQ(z.MinFreeVolumeSize, 65536);
    EXPECT_EQ(z.AddStoreSuffixes & (1u << assEXT), 0u);
    EXPECT_EQ(z.Count(), 0);
    z.SetPasswordReqCount(100);
    EXPECT_EQ(z.PasswordReqCount(), 15u);
    z.SetPasswordReqCount(7);
    EXPECT_EQ(z.PasswordReqCount(), 7u);
}

TEST_F(ZipBuilderTest, TheSetupWindowCarriesItWithItsHooks) {
    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    ASSERT_NE(w->ZipBuilder1, nullptr);
    TZipBuilder& z = *w->ZipBuilder1;
    EXPECT_TRUE(z.Active());
    EXPECT_FALSE(z.Loading());
    // Loading ended with one start and end step, which copied the settings into the worker.
    EXPECT_EQ(z.Worker().ErrCode, 0);
    EXPECT_FALSE(z.Worker().Unattended);
    EXPECT_EQ(z.AddStoreSuffixes, kDefaultStoreSuffixes);
    EXPECT_EQ(z.SFXOptions, 1u << SFXCheckSize);

    ASSERT_TRUE(z.GetOnMessage());
    z.GetOnMessage()(&z, 0, "Extracting ivoxcc.exe");
    EXPECT_EQ(w->lbl_ThongBao->Caption(), u"Extracting ivoxcc.exe");

    ASSERT_TRUE(z.GetOnPasswordError());
    std::string password;
    uint32_t repeat = 3;
    TMsgDlgBtn action = mbOK;
    z.GetOnPasswordError()(&z, false, password, "ivoxcc.exe", repeat, action);
    z.GetOnPasswordError()(&z, false, password, "voxTram.exe", repeat, action);
    EXPECT_EQ(password.size(), 13u);
    EXPECT_EQ(password.front(), 'Q');
    EXPECT_EQ(repeat, 3u);
    EXPECT_EQ(action, mbOK);
}

TEST_F(ZipBuilderTest, WhileLoadingOperationsWaitAndTheNameIsReadAtTheEnd) {
    ui::Component form(nullptr, "form");
    form.SetComponentState(ui::csLoading);
    TZipBuilder z(&form, "z");
    EXPECT_TRUE(z.Loading());
    EXPECT_EQ(z.Starting(), -256);
    int updates = 0;
    z.SetOnDirUpdate([&](ui::Component*) { ++updates; });
    z.SetFileName("C:\\not-there-yet.zip");
    EXPECT_EQ(updates, 0);
    EXPECT_EQ(z.ZipFileName(), "C:\\not-there-yet.zip");

    z.SetComponentState(0);
    z.Loaded();
    EXPECT_EQ(updates, 1);
    EXPECT_TRUE(z.Worker().Active());
    EXPECT_EQ(z.ZipFileName(), "C:\\not-there-yet.zip");
}

TEST_F(ZipBuilderTest, InactiveComponentRefusesAndSaysSo) {
    TZipBuilder z(nullptr, "z");
    z.SetActive(false);
    EXPECT_FALSE(z.Active());
    EXPECT_FALSE(z.Worker().Active());
    EXPECT_EQ(z.Starting(), -255);
    z.SetFileName("C:\\a.zip");
    EXPECT_EQ(z.ZipFileName(), "");
    EXPECT_EQ(z.GetErrCode(), 10109);
    EXPECT_EQ(z.GetErrMessage(), "not Active");

    z.SetActive(true);
    EXPECT_TRUE(z.Worker().Active());
    EXPECT_EQ(z.GetErrCode(), 0);
    EXPECT_EQ(z.GetErrMessage(), "");
}

TEST_F(ZipBuilderTest, AnOperationStartedFromAHandlerIsRefusedAndMarked) {
    TZipBuilder z(nullptr, "z");
    z.Verbose = true;
    z.Unattended = true;
    RecordMessages(z);
    int32_t inner = 0;
    bool clearedInside = true;
    z.SetOnDirUpdate([&](ui::Component*) {
        inner = z.Starting();
        z.SetFileName("C:\\other.zip");
        z.Clear();
        clearedInside = z.ZipFileName().empty();
        EXPECT_FALSE(z.SetErrCode(5));
    });
    z.SetFileName("C:\\first.zip");
    EXPECT_EQ(inner, -255);
    EXPECT_FALSE(clearedInside);
    EXPECT_EQ(z.ZipFileName(), "C:\\first.zip");
    EXPECT_TRUE(z.Reentered());
    EXPECT_FALSE(z.Busy());
    EXPECT_EQ(z.GetErrCode(), 0x4000000);
    EXPECT_EQ(TheErrorCode(z.GetErrCode()), 0);
    EXPECT_EQ(z.GetErrMessage(), "Busy + ");
    EXPECT_EQ(messages,
              (std::vector<std::string>{"0 Re-entry", "0 Re-entry", "0 Re-entry", "0 Re-entry"}));

    // The next start that succeeds forgets the refusal.
    z.SetOnDirUpdate(nullptr);
    z.SetFileName("C:\\second.zip");
    EXPECT_FALSE(z.Reentered());
    EXPECT_EQ(z.GetErrCode(), 0);
}

TEST_F(ZipBuilderTest, ClearEmptiesTheListsAndTheErrorState) {
    TZipBuilder z(nullptr, "z");
    z.Unattended = true;
    z.FSpecArgs() = {"ivoxcc.exe", "*.mbc"};
    z.FSpecArgsExcl() = {"*.tmp"};
    z.SetFileName("C:\\missing.zip");
    ASSERT_TRUE(z.SetErrCode(11007));
    EXPECT_EQ(z.FSpecArgs().size(), 2u);  // an operation hands its lists back unchanged
    z.Clear();
    EXPECT_TRUE(z.FSpecArgs().empty());
    EXPECT_TRUE(z.FSpecArgsExcl().empty());
    EXPECT_EQ(z.GetErrCode(), 0);
    EXPECT_EQ(z.ZipFileName(), "");
    EXPECT_EQ(z.Count(), 0);
}

TEST_F(ZipBuilderTest, TemporaryNamesAreFreshAndCarryTheGivenExtension) {
    TZipBuilder z(nullptr, "z");
    const std::string a = z.MakeTempFileName("", "");
    const std::string b = z.MakeTempFileName("", "");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_FALSE(platform::FileExists(a));
    const std::string name = a.substr(a.find_last_of('\\') + 1);
    EXPECT_EQ(name.substr(0, 3), "zip");
    EXPECT_EQ(name.substr(name.size() - 4), ".zip");

    const std::string c = z.MakeTempFileName("zip", "zip");
    ASSERT_GT(c.size(), 6u);
    EXPECT_EQ(c.substr(c.size() - 3), "zip");
    EXPECT_EQ(c.find('.', c.find_last_of('\\')), std::string::npos) << c;

    // A temporary folder that does not exist gives no name.
    z.TempDir = "C:\\no\\such\\folder";
    z.SetFileName("C:\\x.zip");  // an operation takes the folder over
    EXPECT_EQ(z.MakeTempFileName("zip", ".zip"), "");
}

}  // namespace
}  // namespace archive

namespace archive {
namespace {

TEST_F(ZipBuilderTest, ATemporaryFolderOnARemovableDriveFailsEveryStart) {
    platform::MakeFolder("C:\\zip-disk");
    ASSERT_TRUE(testing_machine::MapTestDrive('r', "C:\\zip-disk", platform::kDriveRemovable));
    TZipBuilder z(nullptr, "z");
    z.Unattended = true;
    RecordMessages(z);
    z.TempDir = "R:\\temp";
    EXPECT_EQ(z.Starting(), kMsgCannotWrite);
    EXPECT_FALSE(z.Busy());
    z.SetFileName("C:\\a.zip");
    EXPECT_EQ(z.ZipFileName(), "");
    EXPECT_EQ(z.GetErrCode(), kMsgCannotWrite);
    EXPECT_EQ(messages, (std::vector<std::string>{"11051 Cannot write to R:\\",
                                                  "11051 Cannot write to R:\\"}));
    z.TempDir = "C:\\";
    EXPECT_EQ(z.Starting(), 0);
    z.Done();
    testing_machine::UnmapTestDrive('r');
    platform::RemoveFolder("C:\\zip-disk");
}

}  // namespace
}  // namespace archive
