// The archive component's core: errors, reports and progress, dialogs offered to the program.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "archive/Ezipbuilder.h"
#include "archive/ZBCore.h"
#include "archive/Zbmsgstr.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

TEST(ZipErrors, EveryConstructorTakesItsTextFromTheTable) {
    EZipBuilder plain("disk on fire");
    EXPECT_EQ(plain.Message(), "disk on fire");
    EXPECT_EQ(plain.MessageId(), kMsgPlainText);
    EXPECT_TRUE(plain.ShowDialog());

    EZipBuilder quiet(10109, false);
    EXPECT_EQ(quiet.Message(), "not Active");
    EXPECT_FALSE(quiet.ShowDialog());

    EXPECT_EQ(EZipBuilder(kMsgDllCritical, 7).Message(), "critical DLL Error 7");
    // A literal text must take the text form, not the flag form.
    EZipBuilder drive(kMsgCannotWrite, "A:\\");
    EXPECT_EQ(drive.Message(), "Cannot write to A:\\");
    EXPECT_EQ(drive.MessageId(), kMsgCannotWrite);
    EXPECT_TRUE(drive.ShowDialog());
    EXPECT_EQ(EZipBuilder(10181, std::string("a.txt"), std::string("C:\\d")).Message(),
              "Overwrite file 'a.txt' in 'C:\\d' ?");
    EXPECT_EQ(EZipBuilder(10110, FormatArgs{5, 3}).Message(), "Index (5) outside range 1..3");

    EZipAbort abort;
    EXPECT_EQ(abort.MessageId(), kMsgUserCanceled);
    EXPECT_EQ(abort.Message(), "User canceled operation");
    EXPECT_FALSE(abort.ShowDialog());
}

TEST(ZipErrors, SystemErrorNumberAddsTheSystemsText) {
    EXPECT_EQ(EZipBuilder(kMsgCannotWrite, std::string("X:"), 0u).Message(), "Cannot write to X:");
    const std::string m = EZipBuilder(kMsgCannotWrite, std::string("X:"), 0x20u).Message();
    const std::string head = "Cannot write to X:  <20 : ";
    ASSERT_EQ(m.compare(0, head.size(), head), 0) << m;
    EXPECT_GT(m.size(), head.size() + 1);
    EXPECT_EQ(m.back(), '>');
}

TEST(ZipErrors, ComponentViewOfTheErrorState) {
    EXPECT_EQ(ComponentErrCode(false, false, 0), 10109);
    EXPECT_EQ(ComponentErrMessage(false, false, 0, ""), "not Active");
    EXPECT_EQ(ComponentErrCode(false, true, 11007), 11007);
    EXPECT_EQ(ComponentErrMessage(false, true, 0, "stale"), "");
    EXPECT_EQ(ComponentErrMessage(false, true, 11007, ""), "User canceled operation");
    EXPECT_EQ(ComponentErrMessage(false, true, 11007, "own text"), "own text");

    const int32_t busy = ComponentErrCode(true, true, 10109);
    EXPECT_EQ(busy, 10109 + 0x4000000);
    EXPECT_EQ(TheErrorCode(busy), 10109);
    EXPECT_EQ(ComponentErrMessage(true, true, 11007, ""), "Busy + User canceled operation");
    EXPECT_EQ(ComponentErrMessage(true, false, 0, ""), "Busy + not Active");
}

TEST(ZipProgress, ItemPercentStaysWithin32Bits) {
    TProgressDetails d;
    EXPECT_EQ(d.GetItemPerCent(), 0);
    d.ItemSize = 1000;
    EXPECT_EQ(d.GetItemPerCent(), 0);
    d.ItemPosition = 250;
    EXPECT_EQ(d.GetItemPerCent(), 25);
    d.ItemSize = 214747;  // the last size multiplied first
    d.ItemPosition = 214747;
    EXPECT_EQ(d.GetItemPerCent(), 100);
    d.ItemSize = 214748;  // from here the size is divided first
    d.ItemPosition = 107374;
    EXPECT_EQ(d.GetItemPerCent(), 50);
    d.ItemSize = 4000000000u;
    d.ItemPosition = 3000000000u;
    EXPECT_EQ(d.GetItemPerCent(), 75);
    d.ItemSize = 0;
    EXPECT_EQ(d.GetItemPerCent(), 0);
}

TEST(ZipProgress, TotalPercentIn64Bits) {
    TProgressDetails d;
    EXPECT_EQ(d.GetTotalPerCent(), 0);
    d.TotalSize = 10LL << 30;
    EXPECT_EQ(d.GetTotalPerCent(), 0);
    d.TotalPosition = 5LL << 30;
    EXPECT_EQ(d.GetTotalPerCent(), 50);
    d.TotalPosition = -1;
    EXPECT_EQ(d.GetTotalPerCent(), 0);
    d.TotalPosition = INT64_MAX;  // a hostile count gives a large percentage, never a negative one
    EXPECT_GT(d.GetTotalPerCent(), 100);
}

// A core with every progress and message handler recording what it was called with.
class ZipCoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto b = std::make_unique<ui::HeadlessBackend>();
        backend = b.get();
        ui::Application::Instance().Initialize(std::move(b));
        core.Sender = &sender;
        core.Unattended = false;
    }
    void TearDown() override {
        ZipSelectLanguage("");
        ui::Application::Instance().Shutdown();
    }

    void RecordProgress() {
        TZipEvents& e = core.Events;
        e.OnTick = [this](ui::Component* s) { Log(s, "tick"); };
        e.OnProgress = [this](ui::Component* s, ProgressType t, const std::string& n,
                              int64_t size) {
            Log(s, "progress " + std::to_string(t) + " '" + n + "' " + std::to_string(size));
        };
        e.OnProgressDetails = [this](ui::Component* s, TProgressDetails& d) {
            Log(s, "details kind " + std::to_string(d.Kind) + " item '" + d.ItemName + "' #" +
                       std::to_string(d.ItemNumber) + " " + std::to_string(d.ItemPosition) + "/" +
                       std::to_string(d.ItemSize) + " total " + std::to_string(d.TotalPosition) +
                       "/" + std::to_string(d.TotalSize) + " count " +
                       std::to_string(d.TotalCount));
        };
        e.OnItemProgress = [this](ui::Component* s, const std::string& n, uint32_t size,
                                  int32_t pc) {
            Log(s, "item '" + n + "' " + std::to_string(size) + " " + std::to_string(pc) + "%");
        };
        e.OnTotalProgress = [this](ui::Component* s, int64_t size, int32_t pc) {
            Log(s, "total " + std::to_string(size) + " " + std::to_string(pc) + "%");
        };
    }
    void RecordMessages() {
        core.Events.OnMessage = [this](ui::Component* s, int32_t code, const std::string& m) {
            Log(s, "message " + std::to_string(code) + " '" + m + "'");
        };
    }
    // Records every dialog offered to the program and answers `answer` with `reply`.
    void AnswerDialogs(int32_t answer, const std::string& reply = "") {
        core.Events.OnZipDialog = [this, answer, reply](ui::Component* s, const std::string& title,
                                                        std::string& msg, int32_t& context,
                                                        TMsgDlgButtons btns) {
            Log(s, "dialog '" + title + "' '" + msg + "' " + std::to_string(context) + " buttons " +
                       std::to_string(btns));
            context = answer;
            msg = reply;
        };
    }
    void Log(ui::Component* s, const std::string& line) {
        EXPECT_EQ(s, &sender) << line;
        log.push_back(line);
    }
    std::vector<std::string> Take() { return std::exchange(log, {}); }

    ui::Component sender{nullptr, "ZipBuilder1"};
    TZBCore core;
    ui::HeadlessBackend* backend = nullptr;
    std::vector<std::string> log;
};

TEST_F(ZipCoreTest, ProgressReportsFollowTheTableInOrder) {
    RecordProgress();
    core.ReportToUser(zacCount, 0, 2, "");
    core.ReportToUser(zacSize, 0, 300, "");
    core.ReportToUser(zacItem, 0, 200, "a.txt");
    core.ReportToUser(zacProgress, 0, 50, "");
    core.ReportToUser(zacXItem, 1, 1000, "stage");
    core.ReportToUser(zacXProgress, 0, 250, "");
    core.ReportToUser(zacEndOfBatch, 0, 0, "");
    core.ReportToUser(zacTick, 0, 0, "");
    const std::string stage = ZipLoadStr(11401);
    EXPECT_EQ(Take(), (std::vector<std::string>{
                          "details kind 3 item '' #0 0/0 total 0/0 count 2",
                          "progress 3 '' 2",
                          "details kind 4 item '' #0 0/0 total 0/300 count 2",
                          "progress 4 '' 300",
                          "progress 0 'a.txt' 200",
                          "details kind 0 item 'a.txt' #1 0/200 total 0/300 count 2",
                          "item 'a.txt' 200 0%",
                          "progress 1 '' 50",
                          "details kind 1 item 'a.txt' #1 50/200 total 50/300 count 2",
                          "item 'a.txt' 50 25%",
                          "total 300 16%",
                          "progress 5 'stage' 1000",
                          "details kind 5 item '" + stage + "' #1 0/1000 total 50/300 count 2",
                          "item '" + stage + "' 1000 0%",
                          "progress 6 '" + stage + "' 250",
                          "details kind 6 item '" + stage + "' #1 250/1000 total 50/300 count 2",
                          "item '" + stage + "' 1000 25%",
                          "progress 2 '' 0",
                          "details kind 2 item '' #1 250/0 total 50/300 count 2",
                          "item '' 0 101%",
                          "total 0 101%",
                          "tick",
                      }));
    // Every report ended with one turn of the message pump.
    EXPECT_EQ(backend->pumped, 8);
}

TEST_F(ZipCoreTest, UnknownTypesAndTheTailOnlyTypeReachOnlyTheTail) {
    RecordProgress();
    RecordMessages();
    core.ReportToUser(7, 1, 2, "x");
    core.ReportToUser(zacNone, 0, 0, "");
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(backend->pumped, 2);
}

TEST_F(ZipCoreTest, EngineMessagesUpdateTheErrorState) {
    RecordMessages();
    core.ErrCode = 0;
    core.ReportToUser(zacMessage, 0, 0, "just saying");
    EXPECT_EQ(core.ErrCode, 0);
    EXPECT_EQ(core.ErrMessage, "");
    EXPECT_EQ(core.FullErrCode, 0);

    core.ReportToUser(zacMessage, 0x0102, 0, "bad entry");
    EXPECT_EQ(core.ErrCode, 2);
    EXPECT_EQ(core.FullErrCode, 0x0102);
    EXPECT_EQ(core.ErrMessage, "bad entry");

    core.ReportToUser(zacMessage, 0xFF, 0, "worse");
    EXPECT_EQ(core.ErrCode, -1);
    EXPECT_EQ(core.FullErrCode, 0xFF);

    // Error 9 after a failed event handler names that failure instead.
    core.CallbackFailure = "handler raised";
    core.ReportToUser(zacMessage, 0x0309, 0, "engine text");
    EXPECT_EQ(core.ErrCode, 9);
    EXPECT_EQ(core.ErrMessage, "Exception in Event ");
    EXPECT_EQ(Take(), (std::vector<std::string>{"message 0 'just saying'",
                                                "message 258 'bad entry'", "message 255 'worse'",
                                                "message 777 'Exception in Event '"}));
}

TEST_F(ZipCoreTest, SuppressedReportsDoNothingAtAll) {
    RecordProgress();
    bool asked = false;
    core.Events.OnCheckTerminate = [&](ui::Component*, bool&) { asked = true; };
    core.ReportsSuppressed = true;
    core.ReportToUser(zacItem, 0, 10, "a");
    core.ReportToUser(zacNone, 0, 0, "");
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(asked);
    EXPECT_EQ(backend->pumped, 0);
    EXPECT_EQ(core.Details().ItemNumber, 0u);
}

TEST_F(ZipCoreTest, CheckTerminateReplacesThePumpAndCanCancel) {
    int asked = 0;
    core.Events.OnCheckTerminate = [&](ui::Component* s, bool& abort) {
        EXPECT_EQ(s, &sender);
        EXPECT_EQ(abort, core.Cancel());
        if (++asked == 2) abort = true;
    };
    core.ReportToUser(zacTick, 0, 0, "");
    EXPECT_FALSE(core.Cancel());
    core.ReportToUser(zacTick, 0, 0, "");
    EXPECT_TRUE(core.Cancel());
    EXPECT_EQ(backend->pumped, 0);

    core.Events.OnCheckTerminate = nullptr;
    core.BackgroundMode = true;
    core.ReportToUser(zacTick, 0, 0, "");
    EXPECT_EQ(backend->pumped, 0);
}

TEST_F(ZipCoreTest, ShowZipMessageRecordsShowsAndReports) {
    RecordMessages();
    AnswerDialogs(mrOk);
    core.ShowZipMessage(kMsgNoExtractPassword, " for a.txt");
    const std::string text = "Error - no extract password given for a.txt";
    EXPECT_EQ(core.ErrCode, kMsgNoExtractPassword);
    EXPECT_EQ(core.ErrMessage, text);
    EXPECT_EQ(Take(),
              (std::vector<std::string>{"dialog 'Setup_iVOX' '" + text + "' " +
                                            std::to_string(zmtInformation | 10000) + " buttons 4",
                                        "message 10151 '" + text + "'"}));
}

TEST_F(ZipCoreTest, UnattendedShowsNoDialogAndWithoutAHandlerRecordsNothing) {
    AnswerDialogs(mrOk);
    core.Unattended = true;
    core.ErrCode = 5;
    core.ErrMessage = "before";
    core.ShowZipMessage(kMsgNoExtractPassword, "");
    EXPECT_EQ(core.ErrCode, 5);
    EXPECT_EQ(core.ErrMessage, "before");

    RecordMessages();
    core.ShowZipMessage(kMsgNoExtractPassword, "");
    core.ShowExceptionError(EZipBuilder(kMsgCannotWrite, "A:\\"));
    EXPECT_EQ(core.ErrCode, kMsgCannotWrite);
    EXPECT_EQ(Take(), (std::vector<std::string>{"message 10151 'Error - no extract password given'",
                                                "message 11051 'Cannot write to A:\\'"}));
}

TEST_F(ZipCoreTest, ExceptionsShowTheErrorDialogUnlessTheyAskNotTo) {
    RecordMessages();
    AnswerDialogs(mrOk);
    core.ShowExceptionError(EZipBuilder(kMsgCannotWrite, "A:\\"));
    core.ShowExceptionError(EZipAbort());
    EXPECT_EQ(core.ErrCode, 11007);
    EXPECT_EQ(core.ErrMessage, "User canceled operation");
    EXPECT_EQ(Take(), (std::vector<std::string>{"dialog 'Setup_iVOX' 'Cannot write to A:\\' " +
                                                    std::to_string(zmtError | 10001) + " buttons 4",
                                                "message 11051 'Cannot write to A:\\'",
                                                "message 11007 'User canceled operation'"}));
}

TEST_F(ZipCoreTest, VerboseDialogTitleCarriesTheContext) {
    RecordMessages();
    AnswerDialogs(mrOk);
    core.Verbose = true;
    std::string msg = "text";
    EXPECT_EQ(core.ZipMessageDialog("", msg, DlgButton(mbOK), zmtError | 10001), mrOk);
    EXPECT_EQ(Take(),
              (std::vector<std::string>{"message 0 'Setup_iVOX   (10001)'",
                                        "dialog 'Setup_iVOX   (10001)' 'text' " +
                                            std::to_string(zmtError | 10001) + " buttons 4"}));
    // An answer from the handler also hands its text back.
    EXPECT_EQ(msg, "");
}

TEST_F(ZipCoreTest, AnAnswerOutsideOneToTenLeavesTheQuestionToTheOwnDialog) {
    for (int32_t answer : {0, 11}) {
        AnswerDialogs(answer, "handler text");
        backend->modals.clear();
        backend->modalResponder = [](ui::Form&, const ui::ModalRecord&) { return mrCancel; };
        std::string msg = "Disk full";
        EXPECT_EQ(core.ZipMessageDialog("Title", msg, DlgButton(mbOK) | DlgButton(mbCancel),
                                        zmtWarning | 10000),
                  mrCancel);
        EXPECT_EQ(msg, "Disk full") << answer;
        ASSERT_EQ(backend->modals.size(), 1u) << answer;
        EXPECT_EQ(backend->modals[0].caption, u"Title");
        EXPECT_EQ(Take().size(), 1u);  // the handler was asked first
    }
}

TEST_F(ZipCoreTest, WithoutAHandlerThePasswordIsTypedIntoTheOwnDialog) {
    backend->modalResponder = [](ui::Form& form, const ui::ModalRecord& r) {
        EXPECT_EQ(r.caption, u"Password");
        form.Find<ui::Edit>("zbdEdit")->UserEditedText(u"typed");
        return mrOk;
    };
    TMsgDlgBtn answer = mbHelp;
    EXPECT_EQ(core.GetExtrPassword(answer), "typed");
    EXPECT_EQ(answer, mbOK);
    ASSERT_EQ(backend->modals.size(), 1u);
    EXPECT_NE(backend->modals[0].Find("zbdEdit"), nullptr);
}

TEST_F(ZipCoreTest, PasswordPromptMapsTheAnswers) {
    AnswerDialogs(mrOk, "s3cret");
    TMsgDlgBtn answer = mbHelp;
    EXPECT_EQ(core.GetExtrPassword(answer), "s3cret");
    EXPECT_EQ(answer, mbOK);
    const TMsgDlgButtons buttons = DlgButton(mbOK) | DlgButton(mbCancel) | DlgButton(mbAll);
    EXPECT_EQ(Take(), (std::vector<std::string>{"dialog 'Password' 'Enter Password ' " +
                                                std::to_string(zmtPassword | 10003) + " buttons " +
                                                std::to_string(buttons)}));

    const std::pair<int32_t, TMsgDlgBtn> cases[] = {
        {mrCancel, mbCancel}, {mrAll, mbNoToAll}, {mrAbort, mbAbort}, {mrYes, mbAbort}};
    for (auto [result, expected] : cases) {
        AnswerDialogs(result, "ignored");
        answer = mbOK;
        EXPECT_EQ(core.GetExtrPassword(answer), "") << result;
        EXPECT_EQ(answer, expected) << result;
    }

    // Unattended: no dialog, a report, and the caller's answer stays.
    Take();
    RecordMessages();
    core.Unattended = true;
    answer = mbIgnore;
    EXPECT_EQ(core.GetExtrPassword(answer), "");
    EXPECT_EQ(answer, mbIgnore);
    EXPECT_EQ(Take(),
              (std::vector<std::string>{"message 10151 'Error - no extract password given'"}));
}

TEST_F(ZipCoreTest, ReentryIsReportedOnlyWhenVerbose) {
    RecordMessages();
    core.NoteReentry();
    EXPECT_TRUE(core.ReentryMark);
    EXPECT_TRUE(Take().empty());
    core.Verbose = true;
    core.NoteReentry();
    EXPECT_EQ(Take(), (std::vector<std::string>{"message 0 'Re-entry'"}));
    core.StartOperation();
    EXPECT_FALSE(core.ReentryMark);
    EXPECT_TRUE(core.OperationRunning);
}

TEST_F(ZipCoreTest, ResetCoreReturnsToTheBuiltInLanguageAndAnEmptyState) {
    ASSERT_NE(ZipSelectLanguage("VN"), "");
    core.ErrCode = 3;
    core.FullErrCode = 0x303;
    core.ErrMessage = "old";
    core.CallbackFailure = "boom";
    core.SetCancel(true);
    core.Verbose = core.Trace = true;
    core.ReportsSuppressed = true;
    core.Details().ItemStarted("x", 5);
    core.ResetCore();
    EXPECT_FALSE(ZipMessages().HasLanguageTable());
    EXPECT_EQ(core.ErrCode, 0);
    EXPECT_EQ(core.FullErrCode, 0);
    EXPECT_EQ(core.ErrMessage, "");
    EXPECT_EQ(core.CallbackFailure, "");
    EXPECT_FALSE(core.Cancel());
    EXPECT_FALSE(core.Unattended || core.Verbose || core.Trace || core.ReportsSuppressed);
    EXPECT_EQ(core.Details().ItemNumber, 0u);
    EXPECT_EQ(core.Details().ItemName, "");
}

TEST_F(ZipCoreTest, WaitCursorNestsAndFinishRestoresIt) {
    ui::Application& app = ui::Application::Instance();
    core.StartWaitCursor();
    core.StartWaitCursor();
    EXPECT_EQ(app.ScreenCursor(), ui::kCrHourGlass);
    core.EndWaitCursor();
    EXPECT_EQ(app.ScreenCursor(), ui::kCrHourGlass);
    core.EndWaitCursor();
    EXPECT_EQ(app.ScreenCursor(), ui::kCrDefault);
    core.EndWaitCursor();  // an unmatched end changes nothing
    EXPECT_EQ(core.CursorDepth(), 0);

    core.StartWaitCursor();
    core.StartWaitCursor();
    core.FinishOperation();
    EXPECT_EQ(app.ScreenCursor(), ui::kCrDefault);
    EXPECT_EQ(core.CursorDepth(), 0);

    core.BackgroundMode = true;
    core.StartWaitCursor();
    EXPECT_EQ(app.ScreenCursor(), ui::kCrDefault);
}

TEST_F(ZipCoreTest, StartingOffTheMainThreadWorksInBackground) {
    core.StartOperation();
    EXPECT_FALSE(core.BackgroundMode);
    std::thread([&] { core.StartOperation(); }).join();
    EXPECT_TRUE(core.BackgroundMode);
}

}  // namespace
}  // namespace archive
