// One name rule for the directory and the engine: every listed entry extracts by its listed
// name (and by the name in the other letter case) to memory, and to a folder under its full
// name, whatever the host, the UTF-8 flag and the ANSI code page; DirIndex counts as the
// directory does; cpNone keeps the stored bytes; a look-alike of a delimiter never makes a
// folder. Run under Wine with a Western and with the Vietnamese code page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "archive/ZipBuilder.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/archive/support/ArchiveFiles.h"
#include "tests/fixtures/ZipWriter.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

#if defined(SETUP_ENGINE_DIR)

namespace archive {
namespace {

using testing_archives::FreshFolder;
using testing_archives::SaveArchive;

// "Việt" in UTF-8 and UTF-16.
const char kViet8[] = "Vi\xE1\xBB\x87t";
const std::u16string kViet16 = u"Vi\u1EC7t";

std::string HostFolder(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

class EntryNameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        folder = FreshFolder("names");
        zip.Unattended = true;
        zip.DLLDirectory = HostFolder(SETUP_ENGINE_DIR);
        zip.SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            if (code != 0) errors.push_back(std::to_string(code) + " " + m);
        });
    }
    void TearDown() override { ui::Application::Instance().Shutdown(); }

    // Extracts the archive into a new folder: that folder, in UTF-16 with a trailing "\".
    std::u16string ExtractAll(const std::string& name) {
        const std::string out = FreshFolder(name);
        zip.ExtrBaseDir = out;
        zip.ExtrOptions = ExtrOpt(ExtrDirNames) | ExtrOpt(ExtrOverWrite);
        EXPECT_EQ(zip.Extract(), 0) << (errors.empty() ? "" : errors.back());
        return platform::AnsiToUtf16(out + "\\");
    }

    // Every listed entry comes out to memory by its listed name and by that name upper-cased
    // under the locale, with its content.
    void ExpectEveryEntryByName(const std::vector<std::string>& contents) {
        ASSERT_EQ(size_t(zip.Count()), contents.size());
        for (int i = 0; i < zip.Count(); ++i) {
            const std::string listed = zip.DirEntry(i).FileName;
            const std::string upper =
                platform::Utf16ToAnsiExact(platform::UpperLocale(platform::AnsiToUtf16(listed)));
            for (const std::string& request : {listed, upper}) {
                TZipStream* s = zip.ExtractFileToStream(request);
                ASSERT_NE(s, nullptr) << request << (errors.empty() ? "" : ": " + errors.back());
                EXPECT_EQ(std::string(s->Bytes().begin(), s->Bytes().end()), contents[size_t(i)])
                    << request;
            }
        }
    }

    std::string folder;
    TZipBuilder zip{nullptr, "ZipBuilder1"};
    std::vector<std::string> errors;
};

#ifdef SETUP_REFERENCE_ARCHIVES
TEST_F(EntryNameTest, TheToolsVietnameseNameExtractsUnderThatName) {
    for (const char* archive : {"names-7zz.zip", "names-bsdtar.zip", "names-python.zip"}) {
        SCOPED_TRACE(archive);
        zip.Clear();
        zip.Unattended = true;
        zip.SetFileName(HostFolder(std::string(SETUP_REFERENCE_ARCHIVES) + "/" + archive));
        ExpectEveryEntryByName({std::string(kViet8) + "\r\n"});
        // The Vietnamese letter in the other case finds it too.
        const std::u16string upper = u"TREE\\VI\u1EC6T.TXT";
        EXPECT_NE(zip.ExtractFileToStream(platform::Utf16ToAnsiExact(upper)), nullptr);
        const std::u16string out = ExtractAll("tools");
        EXPECT_TRUE(platform::FileExists(out + u"tree\\" + kViet16 + u".txt"));
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}
#endif

TEST_F(EntryNameTest, EveryHostFlagAndFormExtractsByItsListedName) {
    // The Vietnamese run must really have code page 1258, which holds "ệ" as "ê" and a mark.
    if (std::getenv("SETUP_EXPECT_CP1258")) {
        EXPECT_EQ(platform::Utf16ToAnsiExact(u"\u1EC7").size(), 2u);
    }
    // How the file's name is read from the stored bytes: as ANSI, from the OEM code page (of the
    // machine: 437 on Linux, 1258 under the Vietnamese Windows), or the UTF-8 it is.
    enum Read { kAnsi, kOem, kUtf8 };
    struct Case {
        std::string stored;
        uint8_t host, version;
        bool utf8;
        Read read;
    };
    const std::string oem = "caf\x82";  // "café" in code page 437
    const std::string viet = kViet8;
    const std::vector<Case> cases = {
        {oem + "-0.txt", 0, 20, false, kOem},
        {viet + "-0.txt", 0, 20, true, kUtf8},
        {"bad\xC3(-0.txt", 0, 20, true, kOem},  // flagged, but no UTF-8
        {viet + "-3.txt", 3, 30, false, kAnsi},
        {viet + "-3u.txt", 3, 30, true, kUtf8},
        {oem + "-11.txt", 11, 50, false, kOem},
        {oem + "-11b.txt", 11, 20, false, kAnsi},
        {oem + "-14.txt", 14, 20, false, kAnsi},
        {viet + "-14.txt", 14, 20, true, kUtf8},
        {"sub/" + viet + "-sub.txt", 0, 20, true, kUtf8},
    };
    fixtures::ZipWriter w;
    std::vector<std::string> contents;
    for (size_t i = 0; i < cases.size(); ++i) {
        contents.push_back("content " + std::to_string(i));
        fixtures::Entry e = fixtures::DeflatedEntry(cases[i].stored, contents.back());
        e.host = cases[i].host;
        e.spec_version = cases[i].version;
        e.utf8 = cases[i].utf8;
        w.Add(e);
    }
    zip.SetFileName(SaveArchive(w.Build(), folder, "hosts.zip"));
    ExpectEveryEntryByName(contents);
    const std::u16string out = ExtractAll("hosts");
    for (const Case& c : cases) {
        std::u16string name = c.read == kUtf8  ? platform::Utf8ToUtf16(c.stored)
                              : c.read == kOem ? platform::OemToUtf16(c.stored)
                                               : platform::AnsiToUtf16(c.stored);
        std::replace(name.begin(), name.end(), u'/', u'\\');
        EXPECT_TRUE(platform::FileExists(out + name)) << platform::Utf16ToUtf8(name);
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

TEST_F(EntryNameTest, DirIndexNamesTheEntryWhenFolderEntriesComeFirst) {
    fixtures::ZipWriter w;
    w.Add(fixtures::FolderEntry("a/"));
    w.Add(fixtures::FolderEntry("b/"));
    w.Add(fixtures::StoredEntry("a/x.txt", "x"));
    w.Add(fixtures::StoredEntry("b/y.txt", "y"));
    zip.SetFileName(SaveArchive(w.Build(), folder, "folders.zip"));
    ASSERT_EQ(zip.Count(), 2);
    ExtractAll("first");
    std::vector<std::string> asked;
    zip.SetOnExtractOverwrite(
        [&](ui::Component*, const std::string& name, bool, bool& overwrite, int32_t index) {
            ASSERT_GE(index, 0);
            ASSERT_LT(index, zip.Count());
            EXPECT_EQ(zip.DirEntry(index).FileName, name);
            asked.push_back(name);
            overwrite = true;
        });
    zip.ExtrOptions = ExtrOpt(ExtrDirNames);  // asked, since the files are there
    EXPECT_EQ(zip.Extract(), 0);
    EXPECT_EQ(asked, (std::vector<std::string>{"a\\x.txt", "b\\y.txt"}));
}

TEST_F(EntryNameTest, CpNoneKeepsFlaggedNamesAndNoLookAlikeMakesAFolder) {
    const std::string viet = std::string(kViet8) + ".txt";
    const std::string solidus =
        "a\xEF\xBC\x8F"
        "b.txt";  // U+FF0F fullwidth solidus
    fixtures::ZipWriter w;
    for (const std::string& name : {viet, std::string("bad\xC3(.txt"), solidus}) {
        fixtures::Entry e = fixtures::StoredEntry(name, name);
        e.utf8 = true;
        w.Add(e);
    }
    const std::string path = SaveArchive(w.Build(), folder, "flagged.zip");
    zip.CodePage = cpNone;
    zip.SetFileName(path);
    ASSERT_EQ(zip.Count(), 3);
    EXPECT_EQ(zip.DirEntry(0).FileName, viet);
    EXPECT_EQ(zip.DirEntry(1).FileName, "bad\xC3(.txt");

    zip.CodePage = cpAuto;
    zip.SetFileName(path);
    const std::string listed = zip.DirEntry(2).FileName;
    EXPECT_EQ(listed.find_first_of("\\/"), std::string::npos) << listed;
    EXPECT_EQ(zip.ExtractFileToStream("a\\b.txt"), nullptr);
    EXPECT_EQ(zip.ExtractFileToStream("a?b.txt") != nullptr,
              listed == "a?b.txt");  // only where the listing itself shows "?"
    const std::u16string out = ExtractAll("solidus");
    EXPECT_TRUE(platform::FileExists(out + u"a\uFF0Fb.txt"));
    EXPECT_FALSE(platform::FileExists(out + u"a"));
}

}  // namespace
}  // namespace archive

#endif
