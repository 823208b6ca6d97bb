// The engine module driven the way the archive component drives it: commands filled as the
// component fills them, a callback that records and answers, archives from the fixture writer.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/ExportGuard.h"
#include "platform/FileStamps.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "tests/engine/EngineFolderTest.h"
#include "tests/engine/EngineHarness.h"
#include "tests/fixtures/ZipWriter.h"

using namespace engine_test;
using fixtures::Bytes;
using fixtures::ToBytes;

namespace {

class EngineTest : public EngineFolderTest {
protected:
    std::string Content(const std::string& relative) {
        const auto bytes = ReadFileBytes(out_ + "\\" + relative);
        return bytes ? std::string(bytes->begin(), bytes->end()) : std::string("<missing>");
    }

    Recorder recorder_;
};

// A small archive of every plain kind: stored, deflated, deflated with a data descriptor,
// a folder entry and a file inside it.
fixtures::Archive PlainArchive() {
    fixtures::ZipWriter w;
    w.Add(fixtures::StoredEntry("readme.txt", "read me\r\n"));
    w.Add(fixtures::DeflatedEntry("numbers.txt", std::string(5000, '7') + "end"));
    fixtures::Entry described = fixtures::DeflatedEntry("described.txt", "told afterwards");
    described.data_descriptor = true;
    w.Add(described);
    w.Add(fixtures::FolderEntry("docs/"));
    w.Add(fixtures::DeflatedEntry("docs/guide.txt", "Guide\nline two\n"));
    return w.Build();
}

}  // namespace

TEST_F(EngineTest, ModuleAnswersVersionBuildAndPathAndRefusesWhatItCannotDo) {
    EXPECT_EQ(Engine().version(), 179);
    EXPECT_EQ(Engine().privVersion(), 1790801);
    const std::string path = Engine().path();
    ASSERT_GE(path.size(), 13u);
    EXPECT_EQ(path.substr(path.size() - 13), "DelZip179.dll");
    EXPECT_TRUE(platform::FileExists(path)) << path;
    EXPECT_LT(Engine().zipExec(nullptr), 0);
    EXPECT_EQ(Engine().unzExec(nullptr), DZ_ERR_STRUCTURE);

    Job noArchive(recorder_, "");
    EXPECT_EQ(noArchive.Run(), DZ_ERR_STRUCTURE);
    UnzipCommand wrongVersion = noArchive.command;
    wrongVersion.ArchiveName = "x.zip";
    wrongVersion.Version = 178;
    EXPECT_EQ(Engine().unzExec(&wrongVersion), DZ_ERR_STRUCTURE);
    EXPECT_TRUE(recorder_.events.empty());
}

TEST_F(EngineTest, ExtractsEveryKindIntoFoldersWithProgressAndTimes) {
    Job job(recorder_, Save(PlainArchive()));
    job.base = out_;
    job.dirNames = 1;
    EXPECT_EQ(job.Run(), 5) << recorder_.Errors();
    EXPECT_EQ(Content("readme.txt"), "read me\r\n");
    EXPECT_EQ(Content("numbers.txt"), std::string(5000, '7') + "end");
    EXPECT_EQ(Content("described.txt"), "told afterwards");
    EXPECT_EQ(Content("docs\\guide.txt"), "Guide\nline two\n");
    EXPECT_EQ(ListTree(out_), (std::vector<std::string>{"described.txt", "docs", "docs/guide.txt",
                                                        "numbers.txt", "readme.txt"}));
    uint32_t stamp = 0;
    ASSERT_TRUE(platform::GetFileDosTime(out_ + "\\numbers.txt", stamp));
    EXPECT_EQ(stamp,
              (uint32_t{fixtures::DosDate(2024, 5, 17)} << 16) | fixtures::DosTime(12, 30, 40));

    // The abort value first, then count and total, one start per item, the end of the batch.
    ASSERT_FALSE(recorder_.events.empty());
    EXPECT_EQ(recorder_.events.front().action, DZ_ACT_ABORT_VALUE);
    EXPECT_NE(recorder_.events.front().number, 0);
    ASSERT_EQ(recorder_.Count(DZ_ACT_COUNT), 1);
    EXPECT_EQ(recorder_.Of(DZ_ACT_COUNT)[0].number, 5);
    EXPECT_EQ(recorder_.Of(DZ_ACT_SIZE)[0].size, 9 + 5003 + 15 + 15);
    EXPECT_EQ(recorder_.Count(DZ_ACT_ITEM), 4);
    int64_t done = 0;
    for (const Event& e : recorder_.Of(DZ_ACT_PROGRESS)) done += e.size;
    EXPECT_EQ(done, 9 + 5003 + 15 + 15);
    EXPECT_EQ(recorder_.events.back().action, DZ_ACT_END_OF_BATCH);
    EXPECT_EQ(recorder_.Errors(), "");
}

TEST_F(EngineTest, FlatNamesDropFoldersAndSpecsSelectByWildcardCaseAndEitherSlash) {
    const std::string archive = Save(PlainArchive());
    Job flat(recorder_, archive);
    flat.base = out_;
    flat.patterns = {"DOCS\\*.TXT", "Readme.TXT"};
    EXPECT_EQ(flat.Run(), 2) << recorder_.Errors();
    EXPECT_EQ(ListTree(out_), (std::vector<std::string>{"guide.txt", "readme.txt"}));

    Job none(recorder_, archive);
    none.base = out_;
    none.patterns = {"docs/missing.txt", "*.exe"};
    EXPECT_EQ(none.Run(), 0);
    EXPECT_EQ(none.command.SpecCount, 2);

    Job question(recorder_, archive);
    question.testOnly = 1;
    question.patterns = {"docs/guide.tx?"};
    EXPECT_EQ(question.Run(), 1);
}

TEST_F(EngineTest, FindsArchivesBehindProgramStubsWithEitherOffsets) {
    for (bool adjusted : {true, false}) {
        fixtures::ZipWriter w;
        w.stub = fixtures::ProgramStub(3000);
        w.adjust_offsets = adjusted;
        w.Add(fixtures::DeflatedEntry("inside.txt", "behind the stub"));
        w.Add(fixtures::StoredEntry("second.txt", "also"));
        Recorder recorder;
        Job job(recorder, Save(w.Build(), adjusted ? "adjusted.exe" : "unadjusted.exe"));
        job.toMemory = true;
        job.patterns = {"second.txt"};
        job.outputSize = 4;
        EXPECT_EQ(job.Run(), 1) << "adjusted " << adjusted << "\n" << recorder.Errors();
        EXPECT_EQ(std::string(recorder.block.begin(), recorder.block.end()), "also");
    }
}

TEST_F(EngineTest, MemoryOutputAsksForAnotherSizeAndNeverWritesPastIt) {
    const fixtures::Archive archive = PlainArchive();
    const std::string path = Save(archive);
    const std::string numbers = std::string(5000, '7') + "end";

    Job exact(recorder_, path);
    exact.toMemory = true;
    exact.patterns = {"numbers.txt"};
    exact.outputSize = 5003;
    exact.slack = 16;
    EXPECT_EQ(exact.Run(), 1) << recorder_.Errors();
    EXPECT_EQ(recorder_.Count(DZ_ACT_STREAM_SIZE), 0);
    EXPECT_EQ(std::string(recorder_.block.begin(), recorder_.block.begin() + 5003), numbers);
    EXPECT_EQ(Bytes(recorder_.block.begin() + 5003, recorder_.block.end()), Bytes(16, 0xAA));

    // A smaller block takes what fits, then action 13 for the rest as it arrives; the content
    // goes on at the address it returns.
    Recorder resized;
    Job other(resized, path);
    other.toMemory = true;
    other.patterns = {"NUMBERS.TXT"};
    other.outputSize = 100;
    EXPECT_EQ(other.Run(), 1) << resized.Errors();
    ASSERT_EQ(resized.Count(DZ_ACT_STREAM_SIZE), 1);
    EXPECT_EQ(resized.Of(DZ_ACT_STREAM_SIZE)[0].size, 5003);
    EXPECT_EQ(std::string(resized.block.begin(), resized.block.end()), numbers);

    // A refused size skips the entry with a memory error; the block holds what fitted.
    Recorder refused;
    refused.refuseResize = true;
    Job refusedJob(refused, path);
    refusedJob.toMemory = true;
    refusedJob.patterns = {"numbers.txt"};
    refusedJob.outputSize = 10;
    refusedJob.slack = 16;
    EXPECT_EQ(refusedJob.Run(), 0);
    EXPECT_TRUE(refused.HasError(DZ_ERROR_MEMORY)) << refused.Errors();
    EXPECT_EQ(refused.Count(DZ_ACT_SKIPPED), 1);
    Bytes fitted(10, '7');
    fitted.resize(26, 0xAA);
    EXPECT_EQ(refused.block, fitted);

    // A block smaller than asked for is not written past: the entry fails instead.
    Recorder smaller;
    std::vector<uint8_t> small(5003 / 2 + 16, 0xAA);
    smaller.hook = [&](CallbackRecord& r) -> std::optional<int32_t> {
        if ((r.ActionReply & DZ_ACT_MASK) != DZ_ACT_STREAM_SIZE) return std::nullopt;
        r.Data.In.Size = 5003 / 2;
        r.Data.In.Second = small.data();
        r.ActionReply = DZ_REPLY_YES;
        return DZ_CB_CONTINUE;
    };
    Job smallerJob(smaller, path);
    smallerJob.toMemory = true;
    smallerJob.patterns = {"numbers.txt"};
    smallerJob.outputSize = 1;
    EXPECT_EQ(smallerJob.Run(), 0);
    EXPECT_TRUE(smaller.HasError(DZ_ERROR_MEMORY)) << smaller.Errors();
    EXPECT_EQ(Bytes(small.begin() + 5003 / 2, small.end()), Bytes(16, 0xAA));

    // The archive itself from memory, as the stream-to-stream extraction sends it.
    Recorder fromMemory;
    Job block(fromMemory);
    block.input = archive.bytes;
    block.toMemory = true;
    block.patterns = {"docs\\guide.txt"};
    block.outputSize = 15;
    EXPECT_EQ(block.Run(), 1) << fromMemory.Errors();
    EXPECT_EQ(std::string(fromMemory.block.begin(), fromMemory.block.end()), "Guide\nline two\n");
}

TEST_F(EngineTest, EncryptedEntriesTakeTheCommandPasswordOrAskForIt) {
    fixtures::ZipWriter w;
    fixtures::Entry first = fixtures::DeflatedEntry("one.txt", "first secret");
    first.password = "right";
    w.Add(first);
    fixtures::Entry second = fixtures::StoredEntry("two.txt", "second secret");
    second.password = "right";
    second.data_descriptor = true;  // the check byte is the time's high byte
    w.Add(second);
    w.Add(fixtures::StoredEntry("plain.txt", "open"));
    const std::string path = Save(w.Build());

    Job given(recorder_, path);
    given.testOnly = 1;
    given.password = "right";
    EXPECT_EQ(given.Run(), 3) << recorder_.Errors();
    EXPECT_EQ(recorder_.Count(DZ_ACT_PASSWORD), 0);

    // Asked: wrong twice, then right; the count of requests left goes down. The password that
    // worked serves the next entry without asking.
    Recorder asked;
    asked.passwords = {"wrong", "also wrong", "right"};
    Job ask(asked, path);
    ask.base = out_;
    ask.password = "not it";
    ask.passwordRequests = 3;
    EXPECT_EQ(ask.Run(), 3) << asked.Errors();
    const auto requests = asked.Of(DZ_ACT_PASSWORD);
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].number, 3);
    EXPECT_EQ(requests[1].number, 2);
    EXPECT_EQ(requests[2].number, 1);
    EXPECT_EQ(requests[0].name, "one.txt");
    EXPECT_EQ(Content("one.txt"), "first secret");
    EXPECT_EQ(Content("two.txt"), "second secret");

    // Wrong answers use up the requests: the entry is skipped as a wrong password.
    Recorder wrong;
    wrong.passwords = {"bad", "worse"};
    Job wrongJob(wrong, path);
    wrongJob.testOnly = 1;
    wrongJob.passwordRequests = 2;
    wrongJob.patterns = {"one.txt"};
    EXPECT_EQ(wrongJob.Run(), 0);
    EXPECT_EQ(wrong.Count(DZ_ACT_PASSWORD), 2);
    EXPECT_TRUE(wrong.HasError(DZ_ERROR_PASSWORD));
    ASSERT_EQ(wrong.Count(DZ_ACT_SKIPPED), 1);
    EXPECT_EQ(wrong.Of(DZ_ACT_SKIPPED)[0].number2, DZ_SKIP_BAD_PASSWORD + 1);

    // -2: no password for this entry (asked again for the next); -3: none for any further one.
    for (int32_t reply : {DZ_REPLY_NO, DZ_REPLY_NO_TO_ALL}) {
        Recorder refusing;
        refusing.noPasswordReply = reply;
        Job refuse(refusing, path);
        refuse.testOnly = 1;
        EXPECT_EQ(refuse.Run(), 1);  // the plain entry
        EXPECT_EQ(refusing.Count(DZ_ACT_PASSWORD), reply == DZ_REPLY_NO ? 2 : 1);
        EXPECT_EQ(refusing.Count(DZ_ACT_SKIPPED), 2);
    }

    // No requests allowed (unattended): never asked, skipped.
    Recorder unattended;
    Job none(unattended, path);
    none.testOnly = 1;
    none.passwordRequests = 0;
    EXPECT_EQ(none.Run(), 1);
    EXPECT_EQ(unattended.Count(DZ_ACT_PASSWORD), 0);
    EXPECT_EQ(unattended.Of(DZ_ACT_SKIPPED)[0].number2, DZ_SKIP_NO_PASSWORD + 1);
}

TEST_F(EngineTest, ExistingFilesFollowOverwriteAnswersFreshenAndUpdate) {
    fixtures::ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "new"));
    const std::string path = Save(w.Build());
    const std::string target = out_ + "\\a.txt";
    const uint32_t entryTime =
        (uint32_t{fixtures::DosDate(2024, 5, 17)} << 16) | fixtures::DosTime(12, 30, 40);
    const uint32_t olderTime = (uint32_t{fixtures::DosDate(2020, 1, 1)} << 16);
    const uint32_t newerTime = (uint32_t{fixtures::DosDate(2025, 1, 1)} << 16);

    struct Case {
        const char* what;
        int32_t overwrite, freshen, update;
        std::optional<int32_t> reply;
        uint32_t existingTime;
        bool replaced;
    };
    const Case cases[] = {
        {"no reply, overwrite off", 0, 0, 0, std::nullopt, olderTime, false},
        {"no reply, overwrite on", 1, 0, 0, std::nullopt, olderTime, true},
        {"yes", 0, 0, 0, DZ_REPLY_YES, newerTime, true},
        {"no despite overwrite", 1, 0, 0, DZ_REPLY_NO, olderTime, false},
        {"freshen older", 0, 1, 0, std::nullopt, olderTime, true},
        {"freshen newer", 0, 1, 0, std::nullopt, newerTime, false},
        {"update same time", 0, 0, 1, std::nullopt, entryTime, false},
        {"update older", 0, 0, 1, std::nullopt, olderTime, true},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteFileBytes(target, ToBytes("old")));
        ASSERT_TRUE(platform::SetFileDosTime(target, c.existingTime));
        Recorder recorder;
        recorder.overwriteReply = c.reply;
        Job job(recorder, path);
        job.base = out_;
        job.overwrite = c.overwrite;
        job.freshen = c.freshen;
        job.update = c.update;
        EXPECT_EQ(job.Run(), c.replaced ? 1 : 0) << c.what;
        EXPECT_EQ(Content("a.txt"), c.replaced ? "new" : "old") << c.what;
        const bool asks = !c.freshen && !c.update;
        ASSERT_EQ(recorder.Count(DZ_ACT_OVERWRITE), asks ? 1 : 0) << c.what;
        if (asks) {
            const Event question = recorder.Of(DZ_ACT_OVERWRITE)[0];
            EXPECT_EQ(question.number, c.overwrite) << c.what;
            EXPECT_EQ(question.age, c.existingTime < entryTime ? 1 : 2) << c.what;
        }
        EXPECT_EQ(recorder.Count(DZ_ACT_SKIPPED), c.replaced ? 0 : 1) << c.what;
        EXPECT_EQ(recorder.Errors(), "") << c.what;
    }

    // Freshen makes no new files; update does.
    RemoveTree(target);
    Job freshen(recorder_, path);
    freshen.base = out_;
    freshen.freshen = 1;
    EXPECT_EQ(freshen.Run(), 0);
    EXPECT_FALSE(platform::FileExists(target));
    Job update(recorder_, path);
    update.base = out_;
    update.update = 1;
    EXPECT_EQ(update.Run(), 1);
    EXPECT_EQ(Content("a.txt"), "new");
}

TEST_F(EngineTest, ReadOnlyAttributeIsKeptAndAReadOnlyFileCanBeReplaced) {
    fixtures::ZipWriter w;
    fixtures::Entry locked = fixtures::StoredEntry("locked.txt", "keep me");
    locked.external_attrs = 0x21;  // read-only, archive
    w.Add(locked);
    const std::string path = Save(w.Build());
    for (int run = 0; run < 2; ++run) {
        Job job(recorder_, path);
        job.base = out_;
        job.overwrite = 1;
        EXPECT_EQ(job.Run(), 1) << "run " << run << "\n" << recorder_.Errors();
        platform::FileAttributes attributes;
        ASSERT_TRUE(platform::ReadFileAttributes(out_ + "\\locked.txt", attributes));
        EXPECT_TRUE(attributes.readOnly);
    }
    EXPECT_EQ(Content("locked.txt"), "keep me");
}

TEST_F(EngineTest, UnsupportedMethodsAreSkippedAndTheRestExtracted) {
    fixtures::ZipWriter w;
    fixtures::Entry bzip = fixtures::StoredEntry("packed.bz2", "BZh9 not really");
    bzip.method = 12;
    w.Add(bzip);
    fixtures::Entry strong = fixtures::StoredEntry("strong.txt", "x");
    strong.password = "p";
    strong.extra_flags = 0x40;
    w.Add(strong);
    w.Add(fixtures::StoredEntry("fine.txt", "fine"));
    Job job(recorder_, Save(w.Build()));
    job.base = out_;
    job.password = "p";
    EXPECT_EQ(job.Run(), 1);
    EXPECT_TRUE(recorder_.HasError(DZ_ERROR_METHOD)) << recorder_.Errors();
    EXPECT_TRUE(recorder_.HasError(DZ_ERROR_ENCRYPTION)) << recorder_.Errors();
    EXPECT_EQ(ListTree(out_), std::vector<std::string>{"fine.txt"});
}

TEST_F(EngineTest, CancelHandlerFailureAndAbortStopTheRun) {
    const std::string path = Save(PlainArchive());
    struct Case {
        int32_t result;
        int32_t expected;
    };
    for (const Case c : {Case{DZ_CB_CANCEL, DZ_ERR_CANCELLED},
                         Case{DZ_CB_HANDLER_FAILED, DZ_ERR_HANDLER}, Case{-100, DZ_ERR_ABORTING}}) {
        RemoveTree(out_);
        ASSERT_TRUE(platform::MakeFolder(out_));
        Recorder recorder;
        int32_t abortValue = 0;
        recorder.hook = [&](CallbackRecord& r) -> std::optional<int32_t> {
            const int32_t action = r.ActionReply & DZ_ACT_MASK;
            if (action == DZ_ACT_ABORT_VALUE) abortValue = r.Number;
            if (action != DZ_ACT_PROGRESS) return std::nullopt;
            if (c.result != -100) return c.result;
            Engine().abort(abortValue);  // as the component's abort does, from a handler
            return std::nullopt;
        };
        Job job(recorder, path);
        job.base = out_;
        job.dirNames = 1;
        EXPECT_EQ(job.Run(), c.expected);
        // Stopped in the first file: that one is not left half written, nothing follows.
        EXPECT_EQ(recorder.Count(DZ_ACT_ITEM), 1);
        EXPECT_EQ(recorder.Count(DZ_ACT_END_OF_BATCH), 0);
        EXPECT_EQ(ListTree(out_), std::vector<std::string>{});
        EXPECT_EQ(recorder.HasError(DZ_ERROR_HANDLER), c.result == DZ_CB_HANDLER_FAILED);
    }
    // An abort value of no running command changes nothing.
    Engine().abort(12345);
    Job later(recorder_, path);
    later.testOnly = 1;
    EXPECT_EQ(later.Run(), 5);
}

TEST_F(EngineTest, MissingArchiveOrBaseFolderIsReportedNotCrashed) {
    Job missing(recorder_, dir_ + "\\nowhere.zip");
    EXPECT_EQ(missing.Run(), 0);
    EXPECT_TRUE(recorder_.HasError(DZ_ERROR_OPEN_ARCHIVE)) << recorder_.Errors();

    Recorder noBase;
    Job job(noBase, Save(PlainArchive()));
    job.base = dir_ + "\\no such folder";
    EXPECT_EQ(job.Run(), 0);
    EXPECT_TRUE(noBase.HasError(DZ_ERROR_BASE_DIR)) << noBase.Errors();
    EXPECT_FALSE(platform::FileExists(dir_ + "\\no such folder"));
}

TEST_F(EngineTest, Zip64RecordsOemNamesAndAttributeOnlyFoldersAreRead) {
    fixtures::ZipWriter w;
    fixtures::Entry big = fixtures::DeflatedEntry("sixty-four.txt", "sizes in the extra field");
    big.zip64 = true;
    w.Add(big);
    fixtures::Entry oem = fixtures::StoredEntry(
        "\x81"
        "ber.txt",
        "oem");
    oem.host = fixtures::kHostMsDos;
    w.Add(oem);
    fixtures::Entry folder = fixtures::StoredEntry("plainfolder", "");
    folder.external_attrs = 0x10;
    w.Add(folder);
    w.zip64_end = true;
    w.zip64_end_masked = true;
    Job job(recorder_, Save(w.Build()));
    job.base = out_;
    job.dirNames = 1;
    EXPECT_EQ(job.Run(), 3) << recorder_.Errors();
    EXPECT_EQ(Content("sixty-four.txt"), "sizes in the extra field");
    const std::string converted = platform::ConvertOemToAnsi(
        "\x81"
        "ber.txt");
    EXPECT_EQ(Content(converted), "oem");
    platform::FileAttributes attributes;
    ASSERT_TRUE(platform::ReadFileAttributes(out_ + "\\plainfolder", attributes));
    EXPECT_TRUE(attributes.directory);
}

// The guard every export runs through: whatever its body throws becomes the fault value, and a
// body that returns passes its result through.
TEST(EngineExportGuard, EveryEscapeBecomesTheFaultValue) {
    const std::pair<std::function<int32_t()>, int32_t> table[] = {
        {[] { return 3; }, 3},
        {[]() -> int32_t { throw std::runtime_error("inside"); }, engine::kResultRaised},
        {[]() -> int32_t { throw std::bad_alloc(); }, engine::kResultRaised},
        {[]() -> int32_t { throw 42; }, engine::kResultRaised},
    };
    for (const auto& [body, expected] : table)
        EXPECT_EQ(engine::Guarded(engine::kResultRaised, body), expected);
    bool ran = false;
    engine::Guarded([&ran] {
        ran = true;
        throw std::logic_error("inside");
    });
    EXPECT_TRUE(ran);
}
