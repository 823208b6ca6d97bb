// Archives made to hurt: names that climb out of the destination, data that inflates beyond
// its declared size, entries sharing data, wrong CRCs, cut data and impossible offsets. Each
// must end in a clear message, with no file outside the destination, no partial file, and a
// file that was there before left as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Files.h"
#include "tests/engine/EngineHarness.h"
#include "tests/fixtures/ZipWriter.h"

using namespace engine_test;
using fixtures::Bytes;
using fixtures::ToBytes;

namespace {

class HostileArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Engine().error, "");
        dir_ = MakeTestFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
        // The destination sits two levels down, so a climb of one or two levels is visible.
        out_ = dir_ + "\\deep\\out";
        ASSERT_TRUE(platform::MakeFolder(dir_ + "\\deep"));
        ASSERT_TRUE(platform::MakeFolder(out_));
        ASSERT_TRUE(WriteFileBytes(out_ + "\\victim.txt", ToBytes("precious")));
    }
    void TearDown() override { RemoveTree(dir_); }

    std::string Save(const fixtures::Archive& archive) {
        const std::string path = dir_ + "\\hostile.zip";
        EXPECT_TRUE(WriteFileBytes(path, archive.bytes));
        return path;
    }
    // Extracts everything into the destination, replacing existing files without asking.
    int32_t ExtractAll(const fixtures::Archive& archive, Recorder& recorder, int32_t dirNames = 1) {
        Job job(recorder, Save(archive));
        job.base = out_;
        job.dirNames = dirNames;
        job.overwrite = 1;
        return job.Run();
    }
    // Nothing besides the archive and the destination tree in the test folder, the file that
    // was there untouched, and no temporary file left.
    void ExpectOnlyInDestination(const std::vector<std::string>& extracted) {
        std::vector<std::string> expected = {"deep", "deep/out", "deep/out/victim.txt",
                                             "hostile.zip"};
        for (const std::string& name : extracted) expected.push_back("deep/out/" + name);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListTree(dir_), expected);
        const auto victim = ReadFileBytes(out_ + "\\victim.txt");
        EXPECT_TRUE(victim && *victim == ToBytes("precious"));
    }

    std::string dir_, out_;
};

// One deflated entry named `name` whose header fields the test then forces.
fixtures::Archive WithEntry(fixtures::Entry entry) {
    fixtures::ZipWriter w;
    w.Add(std::move(entry));
    w.Add(fixtures::StoredEntry("safe.txt", "safe"));
    return w.Build();
}

}  // namespace

TEST_F(HostileArchiveTest, NamesThatLeaveTheDestinationAreSkippedInEveryForm) {
    const char* names[] = {
        "../evil.txt",
        "..\\evil.txt",
        "a/../../evil.txt",
        "a\\..\\..\\evil.txt",
        "../../evil.txt",
        "/evil.txt",
        "\\evil.txt",
        "C:/evil.txt",
        "C:evil.txt",
        "c:\\evil.txt",
        "//server/share/evil.txt",
        "\\\\server\\share\\evil.txt",
        "a/. ./evil.txt",
        "a/.../evil.txt",
        "a/.. /evil.txt",
        "..",
        "a/../../..",
        nullptr,
        // Names that stay inside but that no Windows file system takes: error 22, not 13.
        "victim.txt:stream",
        "con",
        "a/nul.txt",
        "bad\x01name.txt",
        "wild*.txt",
    };
    bool leaves = true;
    for (const char* name : names) {
        if (!name) {
            leaves = false;
            continue;
        }
        for (int32_t dirNames : {0, 1}) {
            Recorder recorder;
            fixtures::Entry entry = fixtures::DeflatedEntry("placeholder", "escaped");
            entry.name = name;
            EXPECT_EQ(ExtractAll(WithEntry(entry), recorder, dirNames), 1) << name;
            EXPECT_TRUE(recorder.HasError(leaves ? DZ_ERROR_UNSAFE_NAME : DZ_ERROR_INVALID_NAME)) << name << "\n" << recorder.Errors();
            ASSERT_EQ(recorder.Count(DZ_ACT_SKIPPED), 1) << name;
            EXPECT_EQ(recorder.Of(DZ_ACT_SKIPPED)[0].number2, DZ_SKIP_UNSAFE_NAME + 1) << name;
            ExpectOnlyInDestination({"safe.txt"});
            RemoveTree(out_ + "\\safe.txt");
        }
    }
}

TEST_F(HostileArchiveTest, NamesThatOnlyBecomeEscapesAfterConversionStayInside) {
    // UTF-8 names of fullwidth dots and solidi: a code page's best-fit conversion may turn them
    // into "..\"; whatever the conversion gives, nothing lands outside the destination.
    fixtures::Entry entry = fixtures::StoredEntry("x", "converted");
    entry.name =
        "\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\x8F\xEF\xBC\x8E\xEF\xBC\x8E\xEF\xBC\xBC"
        "evil.txt";
    entry.utf8 = true;
    Recorder recorder;
    ExtractAll(WithEntry(entry), recorder);
    for (const std::string& path : ListTree(dir_))
        EXPECT_TRUE(path == "hostile.zip" || path.rfind("deep", 0) == 0) << path;
    EXPECT_FALSE(platform::FileExists(dir_ + "\\evil.txt"));
    EXPECT_FALSE(platform::FileExists(dir_ + "\\deep\\evil.txt"));
}

TEST_F(HostileArchiveTest, ContentBeyondTheDeclaredSizeIsABombAndStopsAtTheBound) {
    // 8 MB of zeros that claim to be 1000 bytes: to a folder, into a block of 1000 bytes.
    fixtures::Entry bomb = fixtures::DeflatedEntry("victim.txt", std::string(8 << 20, '\0'));
    bomb.local.uncompressed_size = 1000;
    bomb.central.uncompressed_size = 1000;
    const fixtures::Archive archive = WithEntry(bomb);
    Recorder recorder;
    EXPECT_EQ(ExtractAll(archive, recorder), 1);
    EXPECT_TRUE(recorder.HasError(DZ_ERROR_SIZE)) << recorder.Errors();
    ExpectOnlyInDestination({"safe.txt"});

    Recorder memory;
    Job job(memory, Save(archive));
    job.toMemory = true;
    job.patterns = {"victim.txt"};
    job.outputSize = 1000;
    job.slack = 64;
    EXPECT_EQ(job.Run(), 0);
    EXPECT_TRUE(memory.HasError(DZ_ERROR_SIZE)) << memory.Errors();
    EXPECT_EQ(Bytes(memory.block.begin() + 1000, memory.block.end()), Bytes(64, 0xAA));

    // Content shorter than declared is as wrong.
    fixtures::Entry shortEntry = fixtures::DeflatedEntry("victim.txt", "short");
    shortEntry.local.uncompressed_size = 50;
    shortEntry.central.uncompressed_size = 50;
    Recorder shorter;
    EXPECT_EQ(ExtractAll(WithEntry(shortEntry), shorter), 1);
    EXPECT_TRUE(shorter.HasError(DZ_ERROR_SIZE)) << shorter.Errors();
    ExpectOnlyInDestination({"safe.txt"});
}

TEST_F(HostileArchiveTest, EntriesSharingTheirDataAreRefused) {
    fixtures::ZipWriter w;
    w.Add(fixtures::DeflatedEntry("victim.txt", std::string(100000, 'z')));
    w.AddCentralCopy(0, "copy.txt");
    w.Add(fixtures::StoredEntry("safe.txt", "safe"));
    Recorder recorder;
    EXPECT_EQ(ExtractAll(w.Build(), recorder), 1);
    EXPECT_TRUE(recorder.HasError(DZ_ERROR_OVERLAP)) << recorder.Errors();
    EXPECT_EQ(recorder.Count(DZ_ACT_SKIPPED), 2);
    ExpectOnlyInDestination({"safe.txt"});
    RemoveTree(out_ + "\\safe.txt");

    // A whole local header hidden inside the first entry's data, and a central record of its
    // own pointing at it.
    fixtures::ZipWriter single;
    single.Add(fixtures::StoredEntry("safe.txt", "safe"));
    const fixtures::Archive hidden = single.Build();
    const Bytes record(
        hidden.bytes.begin(),
        hidden.bytes.begin() + static_cast<long>(hidden.layout.entries[0].data_position + 4));
    std::string carrier(10, 'q');
    carrier += std::string(record.begin(), record.end()) + std::string(10, 'q');
    fixtures::ZipWriter inside;
    inside.Add(fixtures::StoredEntry("victim.txt", carrier));
    inside.Add(fixtures::StoredEntry("safe.txt", "safe"));
    fixtures::Archive a = inside.Build();
    a.SetCentral(1, fixtures::Field::LocalOffset,
                 static_cast<uint32_t>(a.layout.entries[0].data_position + 10));
    Recorder nested;
    EXPECT_EQ(ExtractAll(a, nested), 0);
    EXPECT_TRUE(nested.HasError(DZ_ERROR_OVERLAP)) << nested.Errors();
    ExpectOnlyInDestination({});
}

TEST_F(HostileArchiveTest, WrongCrcLeavesTheOldFileAndNoPartialOneWhateverTheAnswer) {
    fixtures::Entry entry = fixtures::DeflatedEntry("victim.txt", std::string(300000, 'c'));
    entry.local.crc = 0x12345678;
    entry.central.crc = 0x12345678;
    const fixtures::Archive archive = WithEntry(entry);
    for (std::optional<int32_t> reply :
         {std::optional<int32_t>(), std::optional<int32_t>(DZ_REPLY_YES)}) {
        Recorder recorder;
        recorder.crcReply = reply;
        EXPECT_EQ(ExtractAll(archive, recorder), 1);
        ASSERT_EQ(recorder.Count(DZ_ACT_CRC_ERROR), 1);
        const Event crc = recorder.Of(DZ_ACT_CRC_ERROR)[0];
        EXPECT_EQ(static_cast<uint32_t>(crc.number2), 0x12345678u);
        EXPECT_EQ(static_cast<uint32_t>(crc.number),
                  fixtures::Crc32(Bytes(300000, static_cast<uint8_t>('c'))));
        EXPECT_TRUE(recorder.HasError(DZ_ERROR_CRC)) << recorder.Errors();
        ExpectOnlyInDestination({"safe.txt"});
        RemoveTree(out_ + "\\safe.txt");
    }
    // "No for this and the rest": the entries after it are left alone.
    Recorder stopAll;
    stopAll.crcReply = DZ_REPLY_NO_TO_ALL;
    EXPECT_EQ(ExtractAll(archive, stopAll), 0);
    ExpectOnlyInDestination({});
}

TEST_F(HostileArchiveTest, CutDataAndCutArchivesEndInMessages) {
    fixtures::Entry entry = fixtures::DeflatedEntry("victim.txt", std::string(50000, 'k') + "tail");
    fixtures::Archive archive = WithEntry(entry);
    const uint32_t half = static_cast<uint32_t>(archive.layout.entries[0].compressed_size / 2);
    archive.SetLocal(0, fixtures::Field::CompressedSize, half);
    archive.SetCentral(0, fixtures::Field::CompressedSize, half);
    Recorder cut;
    EXPECT_EQ(ExtractAll(archive, cut), 1);
    EXPECT_TRUE(cut.HasError(DZ_ERROR_DATA)) << cut.Errors();
    ExpectOnlyInDestination({"safe.txt"});
    RemoveTree(out_ + "\\safe.txt");

    fixtures::Archive truncated = WithEntry(entry);
    truncated.Truncate(truncated.bytes.size() - 30);
    Recorder whole;
    EXPECT_EQ(ExtractAll(truncated, whole), 0);
    EXPECT_TRUE(whole.HasError(DZ_ERROR_NO_ARCHIVE)) << whole.Errors();
    ExpectOnlyInDestination({});

    Recorder garbage;
    Job job(garbage);
    job.input = ToBytes("PK\x05\x06 this is not a zip archive at all");
    job.toMemory = true;
    job.outputSize = 4;
    EXPECT_EQ(job.Run(), 0);
    EXPECT_TRUE(garbage.HasError(DZ_ERROR_NO_ARCHIVE)) << garbage.Errors();
}

TEST_F(HostileArchiveTest, HugeDeclaredSizesAndImpossibleOffsetsAreRefused) {
    // A huge content size: to memory no larger block is asked for before the content needs
    // it, and the content falls short of the size, as it does to disk.
    fixtures::Entry huge = fixtures::DeflatedEntry("victim.txt", "tiny");
    huge.local.uncompressed_size = 0xFFFFFFF0;
    huge.central.uncompressed_size = 0xFFFFFFF0;
    Recorder memory;
    memory.refuseResize = true;
    Job job(memory, Save(WithEntry(huge)));
    job.toMemory = true;
    job.patterns = {"victim.txt"};
    job.outputSize = 16;
    EXPECT_EQ(job.Run(), 0);
    EXPECT_EQ(memory.Count(DZ_ACT_STREAM_SIZE), 0);
    EXPECT_TRUE(memory.HasError(DZ_ERROR_SIZE)) << memory.Errors();
    Recorder disk;
    EXPECT_EQ(ExtractAll(WithEntry(huge), disk), 1);
    EXPECT_TRUE(disk.HasError(DZ_ERROR_SIZE)) << disk.Errors();
    ExpectOnlyInDestination({"safe.txt"});
    RemoveTree(out_ + "\\safe.txt");

    // A stored size past the end of the archive's data.
    fixtures::Entry wide = fixtures::DeflatedEntry("victim.txt", "tiny");
    wide.local.compressed_size = 0xFFFFFFF0;
    wide.central.compressed_size = 0xFFFFFFF0;
    Recorder outside;
    EXPECT_EQ(ExtractAll(WithEntry(wide), outside), 1);
    EXPECT_TRUE(outside.HasError(DZ_ERROR_OUTSIDE)) << outside.Errors();
    ExpectOnlyInDestination({"safe.txt"});
    RemoveTree(out_ + "\\safe.txt");

    // A local offset past the end, and one that points at no local header.
    for (uint32_t offset : {0x7FFFFFF0u, 5u}) {
        fixtures::Archive a = WithEntry(fixtures::DeflatedEntry("victim.txt", "x"));
        a.SetCentral(0, fixtures::Field::LocalOffset, offset);
        Recorder bad;
        EXPECT_EQ(ExtractAll(a, bad), 1);
        EXPECT_TRUE(bad.HasError(DZ_ERROR_LOCAL_HEADER)) << bad.Errors();
        ExpectOnlyInDestination({"safe.txt"});
        RemoveTree(out_ + "\\safe.txt");
    }

    // End records that promise more than the archive holds.
    fixtures::Archive many = WithEntry(fixtures::StoredEntry("victim.txt", "x"));
    many.SetEnd(fixtures::EndField::TotalEntries, 0xFFFE);
    many.SetEnd(fixtures::EndField::EntriesThisDisk, 0xFFFE);
    Recorder count;
    EXPECT_EQ(ExtractAll(many, count), 0);
    EXPECT_TRUE(count.HasError(DZ_ERROR_NO_ARCHIVE)) << count.Errors();
    fixtures::Archive far = WithEntry(fixtures::StoredEntry("victim.txt", "x"));
    far.SetEnd(fixtures::EndField::CentralSize, 0x7FFFFFFF);
    Recorder size;
    EXPECT_EQ(ExtractAll(far, size), 0);
    EXPECT_TRUE(size.HasError(DZ_ERROR_NO_ARCHIVE)) << size.Errors();
    ExpectOnlyInDestination({});
}
