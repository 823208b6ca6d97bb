// The worker's extractions against the recording test engine: the command it receives, the
// checks before it runs, ZipStream, the end step, and the join of a multi-part set.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "archive/ZipBuilder.h"
#include "archive/Zbmsgstr.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/archive/support/ArchiveFiles.h"
#include "tests/archive/support/FakeEngineDriver.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

using testing_archives::FreshFolder;
using testing_engines::FakeEngine;

FakeStep Step(int32_t action, int32_t number = 0, const char* name = "", int64_t size = 0,
              const char* data = nullptr) {
    FakeStep s{};
    s.action = action;
    s.number = number;
    s.name = name;
    s.size = size;
    s.data = data;
    s.dataSize = data ? static_cast<uint32_t>(std::strlen(data)) : 0;
    return s;
}

std::string Bytes(const TZipStream& s) {
    return std::string(s.Bytes().begin(), s.Bytes().end());
}

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedFolder = std::filesystem::current_path();
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        folder = FreshFolder("extract");
        archivePath = testing_archives::SmallArchive(folder);
        z = std::make_unique<TZipBuilder>(nullptr, "z");
        z->Unattended = true;
        z->Password = "pw";
        z->DLLDirectory = engine.Folder();
        z->SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            log.push_back(std::to_string(code) + " " + m);
        });
        z->SetFileName(archivePath);
        ASSERT_EQ(z->Count(), 2);
    }
    void TearDown() override {
        z.reset();
        ui::Application::Instance().Shutdown();
        std::filesystem::current_path(savedFolder);
    }

    const UnzipCommand& Sent() const { return engine.Command().record; }

    FakeEngine engine;
    std::filesystem::path savedFolder;
    std::string folder, archivePath;
    std::unique_ptr<TZipBuilder> z;
    std::vector<std::string> log;
};

TEST_F(ExtractTest, TheCommandCarriesEverySetting) {
    const std::string out = FreshFolder("out");
    z->Unattended = false;
    z->SetOnZipDialog([](ui::Component*, const std::string&, std::string& m, int32_t&,
                         TMsgDlgButtons) { ADD_FAILURE() << "dialog: " << m; });
    int window = 0;
    z->WindowHandle = &window;
    z->ExtrBaseDir = out;
    z->ExtrOptions = ExtrOpt(ExtrDirNames) | ExtrOpt(ExtrOverWrite);
    z->CodePage = cpOEM;
    z->Verbose = true;
    z->SetPasswordReqCount(3);
    z->SetFSpecArgs({"readme.txt", "docs\\guide.txt"});
    engine.Script({}, 2);

    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(z->SuccessCnt(), 2);
    ASSERT_EQ(engine.Calls(), 1);
    const UnzipCommand& c = Sent();
    EXPECT_EQ(c.ParentWindow, &window);
    EXPECT_EQ(c.Caller, &z->Worker());
    EXPECT_EQ(c.Version, 179);
    EXPECT_EQ(c.Callback, &TZBWorker::EngineCallback);
    EXPECT_EQ(c.Trace, 0);
    EXPECT_EQ(c.CodePage, cpOEM);
    EXPECT_STREQ(engine.Command().password, "pw");
    EXPECT_EQ(c.TestOnly, 0);
    EXPECT_EQ(c.Fixed2C, 1);
    EXPECT_EQ(c.Verbose, 1);
    EXPECT_EQ(c.Update, 0);
    EXPECT_EQ(c.Freshen, 0);
    EXPECT_EQ(c.DirNames, 1);
    EXPECT_EQ(c.Overwrite, 1);
    EXPECT_EQ(c.SpecCount, 2);
    EXPECT_STREQ(engine.Command().patterns[0], "readme.txt");
    EXPECT_STREQ(engine.Command().patterns[1], "docs\\guide.txt");
    EXPECT_STREQ(engine.Command().archive, archivePath.c_str());
    EXPECT_EQ(c.ToMemory, 0);
    EXPECT_EQ(c.FromMemory, 0);
    EXPECT_EQ(c.PasswordRequests, 3);
    EXPECT_EQ(std::string(engine.Command().baseDir), platform::FullPathName(out) + "\\");
    EXPECT_EQ(c.Fixed94, 7);
    EXPECT_EQ(c.Reserved18 | c.Reserved24 | c.Reserved28 | c.Reserved50, 0);
    for (int32_t r : c.Reserved74) EXPECT_EQ(r, 0);

    // The base folder became the current one; the caller's list is empty again.
    EXPECT_EQ(platform::FullPathName("."), platform::FullPathName(out));
    EXPECT_TRUE(z->FSpecArgs().empty());
    EXPECT_FALSE(z->Worker().InProgress());
    EXPECT_FALSE(z->Dll_Load());
}

TEST_F(ExtractTest, OptionsAndSpecificationsAsTheEngineSeesThem) {
    struct Case {
        const char* what;
        ExtrOpts options;
        std::vector<std::string> patterns;
        int32_t specCount, update, freshen, testOnly;
    };
    const Case cases[] = {
        {"no patterns: every entry", 0, {}, 0, 0, 0, 0},
        {"*.* first: every entry", 0, {"*.*", "readme.txt"}, 0, 0, 0, 0},
        {"freshen", ExtrOpt(ExtrFreshen), {"a"}, 1, 0, 1, 0},
        {"update wins", ExtrOpt(ExtrFreshen) | ExtrOpt(ExtrUpdate), {"a"}, 1, 1, 0, 0},
        // Testing checks no folder, even a missing one, and sends none.
        {"test", ExtrOpt(ExtrTest), {}, 0, 0, 0, 1},
    };
    for (const Case& k : cases) {
        z->ExtrOptions = k.options;
        z->ExtrBaseDir = k.testOnly ? folder + "\\missing" : "";
        z->SetFSpecArgs(k.patterns);
        const std::string before = platform::FullPathName(".");
        EXPECT_EQ(z->Extract(), 0) << k.what;
        const UnzipCommand& c = Sent();
        EXPECT_EQ(c.SpecCount, k.specCount) << k.what;
        EXPECT_EQ(c.Update, k.update) << k.what;
        EXPECT_EQ(c.Freshen, k.freshen) << k.what;
        EXPECT_EQ(c.TestOnly, k.testOnly) << k.what;
        EXPECT_EQ(c.BaseDir, nullptr) << k.what;
        EXPECT_EQ(platform::FullPathName("."), before) << k.what;
        EXPECT_TRUE(z->FSpecArgs().empty()) << k.what;
    }
    EXPECT_FALSE(platform::FileExists(folder + "\\missing"));

    // Trace asks for both kinds of engine messages; a long password is cut; unattended sends
    // no window.
    z->WindowHandle = this;
    z->Trace = true;
    z->Password = std::string(100, 'p');
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(Sent().Trace, 1);
    EXPECT_EQ(Sent().Verbose, 1);
    EXPECT_EQ(std::string(engine.Command().password), std::string(81, 'p'));
    EXPECT_EQ(Sent().ParentWindow, nullptr);
}

TEST_F(ExtractTest, TheBaseFolderMustExistAndTakeFiles) {
    const std::string missing = folder + "\\new\\deeper";
    z->ExtrBaseDir = missing;
    z->SetFSpecArgs({"readme.txt"});
    EXPECT_EQ(z->Extract(), kMsgBaseDirMissing);
    EXPECT_EQ(log.back(),
              "10504 Extract directory '" + platform::FullPathName(missing) + "\\' must exist");
    EXPECT_EQ(engine.Calls(), 0);
    EXPECT_TRUE(z->FSpecArgs().empty());
    EXPECT_FALSE(z->Worker().InProgress());

    z->ExtrOptions = ExtrOpt(ExtrForceDirs);
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_TRUE(platform::FileExists(missing));
    EXPECT_EQ(engine.Calls(), 1);
    // The write test leaves nothing behind.
    EXPECT_TRUE(std::filesystem::is_empty(platform::HostPath(missing)));

    // A folder that takes no files: a locked one, or the host's system folder when this user
    // may write anywhere (root on Linux).
    const std::string locked = FreshFolder("locked");
    const std::filesystem::path host = platform::HostPath(locked);
    std::filesystem::permissions(
        host, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    std::string target;
    for (const std::string& candidate : {locked, std::string("Z:\\sys")}) {
        if (!platform::FileExists(candidate)) continue;
        const std::string probe = platform::CreateTempFileName(candidate, "prb");
        if (probe.empty()) {
            target = candidate;
            break;
        }
        platform::RemoveFile(probe);
    }
    if (target.empty()) {
        std::filesystem::permissions(host, std::filesystem::perms::owner_all);
        GTEST_SKIP() << "no folder refuses files to this user";
    }
    z->ExtrBaseDir = target;
    z->ExtrOptions = 0;
    EXPECT_EQ(z->Extract(), kMsgCannotWrite);
    const std::string head = "11051 Cannot write to " + platform::FullPathName(target) + "\\  <";
    EXPECT_EQ(log.back().compare(0, head.size(), head), 0) << log.back();
    EXPECT_EQ(log.back().back(), '>');
    std::filesystem::permissions(host, std::filesystem::perms::owner_all);
    EXPECT_EQ(engine.Calls(), 1);
}

TEST_F(ExtractTest, UnattendedWithoutAnyPasswordTheEngineMayNotAsk) {
    z->Password = "";
    z->SetPasswordReqCount(3);
    engine.Script({Step(DZ_ACT_MESSAGE, 0, "engine note")}, 1);
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(Sent().PasswordRequests, 0);
    EXPECT_EQ(z->Worker().PasswordReqCount, 3u);
    EXPECT_EQ(log, (std::vector<std::string>{
                       "0 Warning - Unattended Extract: possible not all files extracted",
                       "0 engine note"}));

    // Someone who can answer: the engine may ask.
    log.clear();
    z->SetOnPasswordError(
        [](ui::Component*, bool, std::string&, const std::string&, uint32_t&, TMsgDlgBtn&) {});
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(Sent().PasswordRequests, 3);
    EXPECT_EQ(log, (std::vector<std::string>{"0 engine note"}));
}

TEST_F(ExtractTest, OneEntryIntoMemoryFoundWithoutRegardToCase) {
    z->SetFSpecArgs({"DOCS\\GUIDE.TXT", "readme.txt"});
    engine.Script({Step(kFakeWriteOutput, 0, "", 0, "guide")}, 1);
    TZipStream* s = z->ExtractFileToStream("");
    ASSERT_EQ(s, &z->ZipStream());
    EXPECT_EQ(Bytes(*s), "guide");
    const UnzipCommand& c = Sent();
    EXPECT_EQ(c.ToMemory, 1);
    EXPECT_EQ(c.OutputSize, 5u);
    EXPECT_EQ(c.OutputBlock, s->Memory());
    // Only the first name is looked up and sent.
    EXPECT_EQ(c.SpecCount, 1);
    EXPECT_STREQ(engine.Command().patterns[0], "DOCS\\GUIDE.TXT");
    EXPECT_TRUE(z->FSpecArgs().empty());

    // Either slash names the folder, as in the engine; a name of no entry does not run it.
    engine.Script({Step(kFakeWriteOutput, 0, "", 0, "guide")}, 1);
    EXPECT_NE(z->ExtractFileToStream("docs/guide.txt"), nullptr);
    log.clear();
    EXPECT_EQ(z->ExtractFileToStream("docs/other.txt"), nullptr);
    EXPECT_EQ(engine.Calls(), 2);
    EXPECT_EQ(z->GetErrCode(), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(z->ZipStream().Size(), 0);

    // An engine that silently extracted nothing of a listed entry is an error, and leaves
    // nothing behind.
    engine.Script({Step(kFakeWriteOutput, 0, "", 0, "hello")}, 0);
    EXPECT_EQ(z->ExtractFileToStream("readme.txt"), nullptr);
    EXPECT_EQ(z->GetErrCode(), archive::kMsgNoFilesFound);
    EXPECT_EQ(z->ZipStream().Size(), 0);

    EXPECT_EQ(z->ExtractFileToStream(""), nullptr);
    EXPECT_EQ(log.back(), "10301 Error - no files to zip!");
}

TEST_F(ExtractTest, TheEngineMayAskForALargerBlock) {
    engine.Script({Step(DZ_ACT_STREAM_SIZE, 0, "readme.txt", 20, "0123456789abcdefghij")}, 1);
    TZipStream* s = z->ExtractFileToStream("readme.txt");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Bytes(*s), "0123456789abcdefghij");
    EXPECT_EQ(engine.Outcome(0).actionReply, DZ_REPLY_YES);
}

TEST_F(ExtractTest, ArchiveDataInMemoryIntoZipStream) {
    TZipStream source;
    const std::vector<unsigned char> bytes = testing_archives::ReadBytes(archivePath);
    source.SetSize(static_cast<int64_t>(bytes.size()));
    std::memcpy(source.Memory(), bytes.data(), bytes.size());
    engine.Script({Step(kFakeWriteOutput, 0, "", 0, "hello world")}, 1);
    TZipStream* s = z->ExtractStreamToStream(&source, 11);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(Bytes(*s), "hello world");
    const UnzipCommand& c = Sent();
    EXPECT_EQ(c.FromMemory, 1);
    EXPECT_EQ(c.InputBlock, source.Memory());
    EXPECT_EQ(c.InputSize, bytes.size());
    EXPECT_EQ(c.ToMemory, 1);
    EXPECT_EQ(c.OutputSize, 11u);

    EXPECT_EQ(z->ExtractStreamToStream(&z->ZipStream(), 11), nullptr);
    EXPECT_EQ(log.back(), "10306 Input stream may not be set to the output stream");
}

TEST_F(ExtractTest, AHandlerThatFailedIsNamedInTheOperationsError) {
    z->SetOnExtractOverwrite([](ui::Component*, const std::string&, bool, bool&, int32_t) {
        throw std::runtime_error("boom");
    });
    engine.Script({Step(DZ_ACT_OVERWRITE, 1, "readme.txt")}, -3);
    EXPECT_EQ(z->Extract(), kMsgDllHandler);
    EXPECT_EQ(engine.Outcome(0).result, DZ_CB_HANDLER_FAILED);
    EXPECT_EQ(log.back(), "10123 DLL Error - Exception in handler  #10 \"boom\"");
    EXPECT_EQ(z->SuccessCnt(), 0);
}

TEST_F(ExtractTest, WithoutAnArchiveNothingRuns) {
    z->SetFileName(folder + "\\none.zip");
    EXPECT_EQ(z->Count(), 0);
    log.clear();
    EXPECT_NE(z->Extract(), 0);
    EXPECT_FALSE(log.empty());
    z->Clear();
    EXPECT_EQ(z->Extract(), kMsgNoZipFile);
    EXPECT_EQ(log.back(), "10102 Error - no zip file specified!");
    EXPECT_EQ(engine.Calls(), 0);
}

TEST_F(ExtractTest, AnExtractionStartedFromAnEventIsRefused) {
    int32_t nested = 0, nestedWorker = 0;
    z->SetOnTick([&](ui::Component*) {
        nested = z->Extract();
        nestedWorker = z->Worker().Extract();
    });
    engine.Script({Step(DZ_ACT_TICK)}, 1);
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(nested, -255);
    EXPECT_EQ(nestedWorker, 0);
    EXPECT_EQ(engine.Calls(), 1);
}

TEST_F(ExtractTest, AMultiPartSetIsJoinedIntoOneTemporaryArchive) {
    fixtures::ZipWriter w;
    for (const char* name : {"one.txt", "two.txt", "three.txt"})
        w.Add(fixtures::StoredEntry(name, std::string(150, name[1])));
    fixtures::SplitOptions split;
    split.part_sizes = {200};
    const std::string parts = FreshFolder("parts");
    const auto saved = w.BuildParts(split).Save(platform::HostPath(parts));
    ASSERT_GE(saved.size(), 3u);
    z->SetFileName(parts + "\\arc.zip");
    ASSERT_EQ(z->Count(), 3);
    ASSERT_TRUE(z->IsSpanned());

    // The engine sees one file; a copy is kept while it runs.
    std::string joinedName;
    std::vector<unsigned char> joined;
    z->SetOnTick([&](ui::Component*) {
        joinedName = engine.Command().archive;
        joined = testing_archives::ReadBytes(joinedName);
    });
    engine.Script({Step(DZ_ACT_TICK)}, 3);
    EXPECT_EQ(z->Extract(), 0);
    EXPECT_EQ(z->SuccessCnt(), 3);
    ASSERT_FALSE(joinedName.empty());
    EXPECT_FALSE(platform::FileExists(joinedName));
    EXPECT_EQ(z->Count(), 3);

    // A single archive whose offsets point at its own local headers.
    fixtures::Archive copy;
    copy.bytes = joined;
    const std::string single = testing_archives::SaveArchive(copy, folder, "joined.zip");
    TZipBuilder reader(nullptr, "reader");
    reader.Unattended = true;
    reader.SetFileName(single);
    ASSERT_EQ(reader.Count(), 3);
    EXPECT_FALSE(reader.IsSpanned());
    for (int32_t i = 0; i < 3; ++i) {
        const ZipDirEntry& e = reader.DirEntry(i);
        EXPECT_EQ(e.StartDisk, 0);
        ASSERT_LT(e.LocalOffset + 4u, joined.size());
        EXPECT_EQ(copy.Get32(e.LocalOffset), 0x04034B50u) << e.FileName;
        EXPECT_EQ(e.FileName, z->DirEntry(i).FileName);
    }
}

}  // namespace
}  // namespace archive
