// The listing and the engine find an archive's end record by one rule: on archives whose end
// record is hard to tell (a second end signature inside the comment, a comment running past the
// file), the component lists exactly the entries the engine extracts, from the file into a
// folder and from memory, or both refuse the archive.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

#include "archive/ZipBuilder.h"
#include "platform/Paths.h"
#include "tests/archive/support/ArchiveFiles.h"
#include "tests/fixtures/ZipWriter.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

#ifdef SETUP_ENGINE_DIR

namespace archive {
namespace {

using Names = std::set<std::string>;

// An end record of a directory of `entries` records, `size` bytes at `offset`, whose comment
// is `commentLength` bytes.
std::string EndRecordBytes(uint16_t entries, uint32_t size, uint32_t offset,
                           uint16_t commentLength) {
    fixtures::Archive a;
    a.bytes.assign(22, 0);
    a.Put32(0, fixtures::kEndRecordSig);
    a.Put16(8, entries);
    a.Put16(10, entries);
    a.Put32(12, size);
    a.Put32(16, offset);
    a.Put16(20, commentLength);
    return std::string(a.bytes.begin(), a.bytes.end());
}

// Two entries and `comment`; the end record's comment length set to `commentLength` if given.
fixtures::Archive WithComment(const std::string& comment, int commentLength = -1) {
    fixtures::ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "alpha"));
    w.Add(fixtures::DeflatedEntry("b.txt", "beta beta beta"));
    w.comment = comment;
    fixtures::Archive a = w.Build();
    if (commentLength >= 0)
        a.SetEnd(fixtures::EndField::CommentLength, static_cast<uint32_t>(commentLength));
    return a;
}

TEST(EndRecordRule, TheListingAndTheEngineReadTheSameEntries) {
    const fixtures::Layout plain = WithComment("").layout;
    const Names both{"a.txt", "b.txt"};
    const struct {
        const char* what;
        fixtures::Archive archive;
        Names expected;  // empty: refused, or nothing to extract
    } cases[] = {
        {"a plain comment", WithComment("release 1"), both},
        // Nearest the end, but its comment would run past the file: passed over.
        {"an end signature in the comment whose comment runs past the file",
         WithComment("x" + EndRecordBytes(0, 0, 0, 0xFFFF) + "y"), both},
        // In the last 22 bytes, with a comment that is not there: passed over as well.
        {"an end signature ending the file with a comment length",
         WithComment(EndRecordBytes(0, 0, 0, 7)), both},
        // Nearest the end and its comment fits: it is the end record, of an empty directory.
        {"an end record of an empty directory in the comment",
         WithComment(EndRecordBytes(0, 0, 0, 0)), {}},
        // The same, declaring the real directory, which does not end where it stands: the
        // listing reads no directory there, and the engine does not look for it at its offset.
        {"an end record in the comment declaring the real directory",
         WithComment("note" + EndRecordBytes(2, static_cast<uint32_t>(plain.central_size),
                                             static_cast<uint32_t>(plain.central_offset), 0)),
         {}},
        {"the only end record's comment runs past the file", WithComment("cut", 40), {}},
        {"the only end record ends the file with a comment length", WithComment("", 1), {}},
    };
    std::string engine = SETUP_ENGINE_DIR;
    std::replace(engine.begin(), engine.end(), '/', '\\');
    ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string folder = testing_archives::FreshFolder("endrule");
        TZipBuilder zip(nullptr, "ZipBuilder1");
        zip.Unattended = true;
        zip.DLLDirectory = "Z:" + engine;
        zip.SetFileName(testing_archives::SaveArchive(c.archive, folder,
                                                      "case" + std::to_string(++n) + ".zip"));
        Names listed;
        for (int32_t i = 0; i < zip.Count(); ++i) listed.insert(zip.DirEntry(i).FileName);
        EXPECT_EQ(listed, c.expected);

        // Every entry into a folder, through the listing as the program extracts.
        const std::string out = folder + "\\out";
        std::filesystem::create_directories(platform::HostPath(out));
        zip.ExtrBaseDir = out;
        zip.Extract();
        Names extracted;
        for (const auto& f : std::filesystem::directory_iterator(platform::HostPath(out)))
            extracted.insert(f.path().filename().string());
        EXPECT_EQ(extracted, c.expected);
        EXPECT_EQ(zip.SuccessCnt(), static_cast<int32_t>(c.expected.size()));

        // The engine alone, from the archive's bytes in memory, without the listing.
        TZipStream source;
        source.SetSize(static_cast<int64_t>(c.archive.bytes.size()));
        std::memcpy(source.Memory(), c.archive.bytes.data(), c.archive.bytes.size());
        Names fromMemory;
        for (const char* name : {"a.txt", "b.txt"}) {
            zip.FSpecArgs() = {name};
            if (zip.ExtractStreamToStream(&source, 0)) fromMemory.insert(name);
        }
        EXPECT_EQ(fromMemory, c.expected);
    }
    ui::Application::Instance().Shutdown();
}

}  // namespace
}  // namespace archive

#endif
