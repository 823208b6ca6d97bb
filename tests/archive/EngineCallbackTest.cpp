// The engine's callbacks answered by the worker: hand-made records, as the engine fills them,
// go through EngineCallback, and the replies and events are checked.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/Zbmsgstr.h"
#include "archive/ZipBuilder.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

class EngineCallbackTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        z = std::make_unique<TZipBuilder>(nullptr, "z");
        z->Unattended = true;
        ASSERT_EQ(z->Starting(), 0);
        w().CallbackFailure.clear();
        z->SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            log.push_back("message " + std::to_string(code) + " " + m);
        });
    }
    void TearDown() override {
        z->Done();
        z.reset();
        ui::Application::Instance().Shutdown();
    }

    TZBWorker& w() { return z->Worker(); }

    // A record as the engine makes it: noise where nothing is set.
    CallbackRecord& Record(int32_t action, int32_t number = 0, const char* name = "") {
        std::memset(bytes, 0x5A, sizeof bytes);
        CallbackRecord& r = *reinterpret_cast<CallbackRecord*>(bytes);
        r.AddFlag = 0;
        r.ActionReply = action;
        r.Number = number;
        r.Name = name;
        return r;
    }
    int32_t Call(CallbackRecord& r) { return TZBWorker::EngineCallback(&w(), &r); }

    std::unique_ptr<TZipBuilder> z;
    std::vector<std::string> log;
    alignas(8) unsigned char bytes[1024];
};

// A password handler that answers with the given text and button, and may change the count.
TZipPasswordErrorEvent Answer(std::string password, TMsgDlgBtn button = mbOK, int64_t repeat = -1) {
    return [=](ui::Component*, bool isZip, std::string& p, const std::string& file, uint32_t& r,
               TMsgDlgBtn& a) {
        EXPECT_FALSE(isZip);
        EXPECT_EQ(file, "dir\\secret.txt");
        EXPECT_EQ(a, mbOK);
        p = password;
        a = button;
        if (repeat >= 0) r = static_cast<uint32_t>(repeat);
    };
}

TEST_F(EngineCallbackTest, PasswordFromTheHandlerGoesBackWithTheEnginesCount) {
    z->SetOnPasswordError(Answer("pw"));
    CallbackRecord& r = Record(DZ_ACT_PASSWORD, 3, "dir/secret.txt");
    EXPECT_EQ(Call(r), DZ_CB_CONTINUE);
    EXPECT_EQ(r.ActionReply, DZ_REPLY_YES);
    EXPECT_STREQ(r.Data.Reply, "pw");
    EXPECT_EQ(r.Number, 3);

    // A count above 15, from the engine or from the handler, comes back as 15.
    EXPECT_EQ(Call(Record(DZ_ACT_PASSWORD, 40, "dir/secret.txt")), 0);
    EXPECT_EQ(reinterpret_cast<CallbackRecord*>(bytes)->Number, 15);
    z->SetOnPasswordError(Answer("pw", mbOK, 100));
    CallbackRecord& r2 = Record(DZ_ACT_PASSWORD, 1, "dir/secret.txt");
    Call(r2);
    EXPECT_EQ(r2.Number, 15);

    // A long password is cut to 81 characters.
    z->SetOnPasswordError(Answer(std::string(100, 'x')));
    CallbackRecord& r3 = Record(DZ_ACT_PASSWORD, 1, "dir/secret.txt");
    Call(r3);
    EXPECT_EQ(std::string(r3.Data.Reply), std::string(81, 'x'));
}

TEST_F(EngineCallbackTest, PasswordButtonsRefuseSkipAllOrAbort) {
    struct Case {
        TMsgDlgBtn button;
        int32_t reply;
        int32_t result;
    };
    for (const Case& c : {Case{mbCancel, DZ_REPLY_NO, DZ_CB_CONTINUE},
                          Case{mbNoToAll, DZ_REPLY_NO_TO_ALL, DZ_CB_CONTINUE},
                          Case{mbAbort, DZ_REPLY_NO, DZ_CB_CANCEL}}) {
        z->SetCancel(false);
        // The password the handler typed is dropped with any button but OK.
        z->SetOnPasswordError(Answer("typed", c.button));
        CallbackRecord& r = Record(DZ_ACT_PASSWORD, 5, "dir/secret.txt");
        EXPECT_EQ(Call(r), c.result) << c.button;
        EXPECT_EQ(r.ActionReply, c.reply) << c.button;
        EXPECT_EQ(r.Number, 0) << c.button;
        EXPECT_NE(std::string(r.Data.Reply, 5), "typed") << c.button;
    }
    // OK with an empty password is no password either.
    z->SetCancel(false);
    z->SetOnPasswordError(Answer(""));
    CallbackRecord& r = Record(DZ_ACT_PASSWORD, 5, "dir/secret.txt");
    EXPECT_EQ(Call(r), DZ_CB_CONTINUE);
    EXPECT_EQ(r.ActionReply, DZ_REPLY_NO);
    EXPECT_EQ(r.Number, 0);
}

TEST_F(EngineCallbackTest, WithoutAPasswordHandlerTheComponentAsks) {
    // Unattended: a report, and no password.
    CallbackRecord& r = Record(DZ_ACT_PASSWORD, 2, "a.txt");
    EXPECT_EQ(Call(r), DZ_CB_CONTINUE);
    EXPECT_EQ(r.ActionReply, DZ_REPLY_NO);
    EXPECT_EQ(r.Number, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"message 10151 Error - no extract password given"}));
    EXPECT_EQ(w().ErrCode, kMsgNoExtractPassword);

    // Attended: the password dialog; CancelAll skips every further entry.
    w().Unattended = false;
    int answer = mrOk;
    z->SetOnZipDialog([&](ui::Component*, const std::string& title, std::string& msg,
                          int32_t& context, TMsgDlgButtons) {
        EXPECT_EQ(title, "Password");
        msg = "typed";
        context = answer;
    });
    CallbackRecord& ok = Record(DZ_ACT_PASSWORD, 2, "a.txt");
    Call(ok);
    EXPECT_EQ(ok.ActionReply, DZ_REPLY_YES);
    EXPECT_STREQ(ok.Data.Reply, "typed");
    answer = mrAll;
    CallbackRecord& all = Record(DZ_ACT_PASSWORD, 2, "a.txt");
    Call(all);
    EXPECT_EQ(all.ActionReply, DZ_REPLY_NO_TO_ALL);
}

TEST_F(EngineCallbackTest, ProgressAndMessagesBecomeReports) {
    std::vector<std::string> progress;
    z->SetOnProgress([&](ui::Component*, ProgressType t, const std::string& f, int64_t size) {
        progress.push_back(std::to_string(t) + " " + f + " " + std::to_string(size));
    });
    int ticks = 0;
    z->SetOnTick([&](ui::Component*) { ++ticks; });

    CallbackRecord& item = Record(DZ_ACT_ITEM | 0x1C0, 0, "dir/a.txt");  // high bits ignored
    item.Data.In.Size = 0x100000005LL;
    Call(item);
    CallbackRecord& count = Record(DZ_ACT_COUNT, -1);
    Call(count);
    // Actions 64 and 82 are 0 and 18 in their low six bits.
    Call(Record(64));
    EXPECT_EQ(ticks, 1);
    Call(Record(82, 1234));
    EXPECT_EQ(w().AbortHandle, 1234);
    EXPECT_EQ(ticks, 1);
    EXPECT_EQ(progress,
              (std::vector<std::string>{std::to_string(ptItemStart) + " dir\\a.txt 4294967301",
                                        std::to_string(ptTotalItems) + "  -1"}));

    // An engine note reaches OnMessage with its slashes turned and leaves the error alone.
    w().ErrCode = 0;
    Call(Record(DZ_ACT_MESSAGE, 0, "made dir/b"));
    EXPECT_EQ(log.back(), "message 0 made dir\\b");
    EXPECT_EQ(w().ErrCode, 0);
    Call(Record(DZ_ACT_MESSAGE, 0x10B, "damaged"));
    EXPECT_EQ(log.back(), "message 267 damaged");
    EXPECT_EQ(w().ErrCode, 11);
    EXPECT_EQ(w().FullErrCode, 0x10B);
}

TEST_F(EngineCallbackTest, UnknownActionsDoNothingAndAnsweredOnesEndWithTheTail) {
    int tails = 0;
    z->SetOnCheckTerminate([&](ui::Component*, bool&) { ++tails; });
    for (int32_t action : {19, 40, 63}) {
        CallbackRecord& r = Record(action);
        EXPECT_EQ(Call(r), DZ_CB_CONTINUE);
        EXPECT_EQ(r.ActionReply, action);
    }
    EXPECT_EQ(tails, 0);
    // An overwrite question without a handler leaves the reply to the engine's own rule, but
    // the tail runs.
    CallbackRecord& r = Record(DZ_ACT_OVERWRITE, 1);
    Call(r);
    EXPECT_EQ(r.ActionReply, DZ_ACT_OVERWRITE);
    EXPECT_EQ(tails, 1);
    // While the worker is being cleared nothing happens at all.
    w().ReportsSuppressed = true;
    Call(Record(DZ_ACT_OVERWRITE));
    Call(Record(DZ_ACT_ABORT_VALUE, 9));
    EXPECT_EQ(tails, 1);
    EXPECT_NE(w().AbortHandle, 9);
    w().ReportsSuppressed = false;
}

TEST_F(EngineCallbackTest, QuestionsAboutExistingFilesAndDamagedEntries) {
    std::vector<std::string> seen;
    bool overwrite = false;
    z->SetOnExtractOverwrite(
        [&](ui::Component*, const std::string& f, bool older, bool& o, int32_t index) {
            seen.push_back(f + " older=" + std::to_string(older) + " default=" + std::to_string(o) +
                           " index=" + std::to_string(index));
            o = overwrite;
        });
    CallbackRecord& r = Record(DZ_ACT_OVERWRITE, 1, "d/x.txt");
    r.Data.In.Number2 = 4;
    r.Data.In.Age = 2;
    Call(r);
    EXPECT_EQ(r.ActionReply, DZ_REPLY_NO);
    overwrite = true;
    CallbackRecord& r2 = Record(DZ_ACT_OVERWRITE, 0, "x.txt");
    r2.Data.In.Number2 = 5;
    r2.Data.In.Age = 1;
    Call(r2);
    EXPECT_EQ(r2.ActionReply, DZ_REPLY_YES);
    // DirIndex is the entry's place in ZipContents; without a directory there is none.
    EXPECT_EQ(seen, (std::vector<std::string>{"d\\x.txt older=0 default=1 index=-1",
                                              "x.txt older=1 default=0 index=-1"}));

    // A CRC error is left to the engine without a handler, else the handler decides.
    CallbackRecord& c = Record(DZ_ACT_CRC_ERROR, static_cast<int32_t>(0xDEADBEEF), "c.txt");
    Call(c);
    EXPECT_EQ(c.ActionReply, DZ_ACT_CRC_ERROR);
    z->SetOnCRC32Error(
        [](ui::Component*, const std::string& f, uint32_t found, uint32_t expected, bool& extract) {
            EXPECT_EQ(f, "c.txt");
            EXPECT_EQ(found, 0xDEADBEEFu);
            EXPECT_EQ(expected, 0x12345678u);
            EXPECT_TRUE(extract);
            extract = false;
        });
    CallbackRecord& c2 = Record(DZ_ACT_CRC_ERROR, static_cast<int32_t>(0xDEADBEEF), "c.txt");
    c2.Data.In.Number2 = 0x12345678;
    Call(c2);
    EXPECT_EQ(c2.ActionReply, DZ_REPLY_NO_TO_ALL);
}

TEST_F(EngineCallbackTest, SkippedEntriesGoToTheirEventOrToOnMessage) {
    CallbackRecord& r = Record(DZ_ACT_SKIPPED, 0, "d/s.txt");
    r.Data.In.Number2 = 3;
    Call(r);
    EXPECT_EQ(log.back(), "message 10125 Skipped d\\s.txt 2");
    EXPECT_EQ(w().ErrCode, 0);

    z->SetOnExtractSkipped([&](ui::Component*, const std::string& f, UnZipSkipTypes type,
                               int32_t error) {
        log.push_back("skipped " + f + " " + std::to_string(type) + " " + std::to_string(error));
    });
    CallbackRecord& r2 = Record(DZ_ACT_SKIPPED, 0x20107, "s.txt");
    r2.Data.In.Number2 = 2;
    Call(r2);
    EXPECT_EQ(log.back(), "skipped s.txt 1 7");
    EXPECT_EQ(w().FullErrCode, 0x20107);
}

TEST_F(EngineCallbackTest, ExtractedNameChangesKeepFilesFilesAndFoldersFolders) {
    std::string rename;
    bool changed = true;
    z->SetOnSetExtName([&](ui::Component*, std::string& name, bool& c) {
        EXPECT_EQ(name, "d\\f.txt");
        name = rename;
        c = changed;
    });
    struct Case {
        std::string to;
        bool changed;
        bool used;
    };
    for (const Case& k : {Case{"d\\g.txt", true, true}, Case{"d\\g\\", true, false},
                          Case{"d\\g.txt", false, false}, Case{"d/f.txt", true, false}}) {
        rename = k.to;
        changed = k.changed;
        CallbackRecord& r = Record(DZ_ACT_EXT_NAME, 0, "d/f.txt");
        Call(r);
        EXPECT_EQ(r.ActionReply, k.used ? int32_t{DZ_REPLY_YES} : int32_t{DZ_ACT_EXT_NAME}) << k.to;
        if (k.used) {
            EXPECT_EQ(std::string(r.Data.Reply), k.to);
        }
    }
}

TEST_F(EngineCallbackTest, MemoryBlockFollowsTheEnginesSize) {
    CallbackRecord& r = Record(DZ_ACT_STREAM_SIZE);
    r.Data.In.Size = 4096;
    EXPECT_EQ(Call(r), DZ_CB_CONTINUE);
    EXPECT_EQ(r.ActionReply, DZ_REPLY_YES);
    EXPECT_EQ(z->ZipStream().Size(), 4096);
    EXPECT_EQ(r.Data.In.Second, z->ZipStream().Memory());

    // A size the command could not even describe is refused, not attempted.
    CallbackRecord& big = Record(DZ_ACT_STREAM_SIZE);
    big.Data.In.Size = int64_t(1) << 40;
    EXPECT_EQ(Call(big), DZ_CB_CONTINUE);
    EXPECT_EQ(big.ActionReply, DZ_REPLY_NO);
    EXPECT_EQ(big.Data.In.Size, 0);
    CallbackRecord& negative = Record(DZ_ACT_STREAM_SIZE);
    negative.Data.In.Size = -1;
    Call(negative);
    EXPECT_EQ(negative.ActionReply, DZ_REPLY_NO);
    EXPECT_EQ(z->ZipStream().Size(), 4096);
}

TEST_F(EngineCallbackTest, AddingActionsAnswerWithNamesCommentsAndExtraData) {
    z->SetOnSetNewName([](ui::Component*, std::string& n, bool& c) {
        n = "new\\" + n;
        c = true;
    });
    std::string ext;
    z->SetOnSetAddName([&](ui::Component*, std::string& n, const std::string& e, bool& c) {
        ext = e;
        n = "added.txt";  // given the engine's name, not the first handler's
        c = true;
    });
    const char* external = "C:/src/a.txt";
    CallbackRecord& n = Record(DZ_ACT_NEW_NAME, 0, "a.txt");
    n.AddFlag = 1;
    n.Data.In.Second = const_cast<char*>(external);
    Call(n);
    EXPECT_EQ(ext, "C:\\src\\a.txt");
    EXPECT_EQ(n.ActionReply, DZ_REPLY_YES);
    EXPECT_STREQ(n.Data.Reply, "added.txt");

    z->SetOnFileComment([](ui::Component*, const std::string&, std::string& comment, bool& c) {
        EXPECT_EQ(comment, "old");
        comment = std::string(600, 'c');
        c = true;
    });
    const char* old = "old";
    CallbackRecord& k = Record(DZ_ACT_COMMENT, 0, "a.txt");
    k.Data.In.Second = const_cast<char*>(old);
    Call(k);
    EXPECT_EQ(k.ActionReply, DZ_REPLY_YES);
    EXPECT_EQ(k.Number, 511);
    EXPECT_EQ(std::string(k.Data.Reply), std::string(511, 'c'));

    std::string extra = "xy";
    z->SetOnFileExtra([&](ui::Component*, const std::string&, std::string& data, bool& c) {
        EXPECT_EQ(data, "\x01\x02");
        data = extra;
        c = true;
    });
    const char raw[] = {1, 2};
    CallbackRecord& e = Record(DZ_ACT_EXTRA_DATA, 2, "a.txt");
    e.Data.In.Second = const_cast<char*>(raw);
    Call(e);
    EXPECT_EQ(e.Number, 2);
    EXPECT_EQ(std::string(e.Data.Reply, 2), "xy");
    // Longer data is handed over by address, and stays until the next such action.
    extra = std::string(600, 'e');
    CallbackRecord& e2 = Record(DZ_ACT_EXTRA_DATA, 2, "a.txt");
    e2.Data.In.Second = const_cast<char*>(raw);
    Call(e2);
    EXPECT_EQ(e2.Number, 600);
    EXPECT_EQ(std::string(static_cast<const char*>(e2.Data.In.Second), 600), extra);
}

TEST_F(EngineCallbackTest, AHandlerThatRaisesStopsTheEngineWithoutUnwindingIntoIt) {
    z->SetOnExtractOverwrite([](ui::Component*, const std::string&, bool, bool&, int32_t) {
        throw std::runtime_error("disk on fire");
    });
    EXPECT_EQ(Call(Record(DZ_ACT_OVERWRITE, 0, "x")), DZ_CB_HANDLER_FAILED);
    EXPECT_TRUE(z->Cancel());
    EXPECT_EQ(w().CallbackFailure, " #10 \"disk on fire\"");

    // The first failure is the one kept; anything thrown counts.
    z->SetOnTick([](ui::Component*) { throw 42; });
    EXPECT_EQ(Call(Record(DZ_ACT_TICK)), DZ_CB_HANDLER_FAILED);
    EXPECT_EQ(w().CallbackFailure, " #10 \"disk on fire\"");
    w().CallbackFailure.clear();
    z->SetCancel(false);
    EXPECT_EQ(Call(Record(DZ_ACT_TICK)), DZ_CB_HANDLER_FAILED);
    EXPECT_EQ(w().CallbackFailure, " #0 \"\"");

    // The engine's later message with error 9 names the failure.
    z->SetOnTick(nullptr);
    Call(Record(DZ_ACT_MESSAGE, 9, "handler failed"));
    EXPECT_EQ(log.back(), "message 9 Exception in Event ");
    EXPECT_EQ(w().ErrCode, 9);
}

}  // namespace
}  // namespace archive
