// Reading an archive's directory through the component, on archives crafted field by field and,
// on Linux hosts, on archives made by the real zip tools.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/Zbmsgstr.h"
#include "archive/ZipBuilder.h"
#include "platform/Drives.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "tests/fixtures/ZipWriter.h"
#include "tests/support/TestDrives.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

using fixtures::Bytes;
using fixtures::ZipWriter;

const std::string kFolder = "C:\\zipdir";

class ZipDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        platform::MakeFolder(kFolder);
        zip.Unattended = true;
        zip.SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            messages.push_back(std::to_string(code) + " " + m);
        });
        zip.SetOnDirUpdate([this](ui::Component*) { ++dirUpdates; });
        zip.SetOnNewName([this](ui::Component*, int32_t seq, const ZipDirEntry& e) {
            newNames.push_back(std::to_string(seq) + " " + e.FileName);
        });
    }
    void TearDown() override {
        for (const std::string& f : written) platform::RemoveFile(f);
        ui::Application::Instance().Shutdown();
    }

    // Writes the bytes as a file of the test folder; returns its Windows path.
    std::string Write(const std::string& name, const Bytes& bytes) {
        const std::string path = kFolder + "\\" + name;
        std::ofstream out(platform::HostPath(path), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        written.push_back(path);
        return path;
    }
    std::string Write(const std::string& name, const fixtures::Archive& a) {
        return Write(name, a.bytes);
    }

    // Opens the archive and answers the error code the component reports afterwards.
    int32_t Open(const std::string& path) {
        zip.SetFileName(path);
        return zip.GetErrCode();
    }

    TZipBuilder zip{nullptr, "ZipBuilder1"};
    std::vector<std::string> messages;
    std::vector<std::string> newNames;
    int dirUpdates = 0;
    std::vector<std::string> written;
};

std::string Backslashed(std::string s) {
    for (char& c : s)
        if (c == '/') c = '\\';
    return s;
}

TEST_F(ZipDirectoryTest, EveryEntryIsReadFieldByFieldAsItWasWritten) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("readme.txt", "hello"));
    fixtures::Entry deflated = fixtures::DeflatedEntry("docs/guide.txt", std::string(3000, 'g'));
    deflated.comment = "the guide";
    deflated.central_extra = {0x55, 0x54, 0x01, 0x00, 0x07};
    deflated.host = fixtures::kHostNtfs;
    deflated.spec_version = 63;
    deflated.external_attrs = 0x21;
    w.Add(deflated);
    fixtures::Entry secret = fixtures::DeflatedEntry("bin/secret.bin", "s3cret data");
    secret.password = "pw";
    secret.data_descriptor = true;
    w.Add(secret);
    w.comment = "archive comment";
    const fixtures::Archive a = w.Build();
    const std::string path = Write("fields.zip", a);

    EXPECT_EQ(Open(path), 0);
    EXPECT_TRUE(messages.empty()) << messages[0];
    ASSERT_EQ(zip.Count(), 3);
    EXPECT_EQ(zip.ZipFileName(), path);
    EXPECT_EQ(zip.ZipComment(), "archive comment");
    EXPECT_EQ(zip.ZipEOC(), a.layout.end_position);
    EXPECT_EQ(zip.ZipSOC(), a.layout.central_position);
    EXPECT_EQ(zip.SFXOffset(), 0u);
    EXPECT_EQ(zip.RealFileSize(), a.bytes.size());
    EXPECT_EQ(dirUpdates, 1);
    EXPECT_EQ(newNames,
              (std::vector<std::string>{"1 readme.txt", "2 docs\\guide.txt", "3 bin\\secret.bin"}));
    for (int32_t i = 0; i < zip.Count(); ++i) {
        const ZipDirEntry& e = zip.DirEntry(i);
        const fixtures::WrittenEntry& x = a.layout.entries[static_cast<size_t>(i)];
        SCOPED_TRACE(x.name);
        EXPECT_EQ(e.FileName, Backslashed(x.name));
        EXPECT_EQ(e.SpecVersion | e.HostSystem << 8, x.version_made_by);
        EXPECT_EQ(e.VersionNeeded, x.version_needed);
        EXPECT_EQ(e.GeneralFlags, x.flags);
        EXPECT_EQ(e.Method, x.method);
        EXPECT_EQ(e.DosTime, x.time);
        EXPECT_EQ(e.DosDate, x.date);
        EXPECT_EQ(e.Crc, x.crc);
        EXPECT_EQ(e.PackedSize, x.compressed_size);
        EXPECT_EQ(e.UnpackedSize, x.uncompressed_size);
        EXPECT_EQ(e.NameLength, x.name.size());
        EXPECT_EQ(e.ExtraField, std::string(x.extra.begin(), x.extra.end()));
        EXPECT_EQ(e.EntryComment, x.comment);
        EXPECT_EQ(e.InternalAttrs, x.internal_attrs);
        EXPECT_EQ(e.ExternalAttrs, x.external_attrs);
        EXPECT_EQ(e.LocalOffset, x.local_offset);
        EXPECT_EQ(e.IsEncrypted, x.encrypted());
    }
    EXPECT_THROW(zip.DirEntry(3), ui::Exception);
}

TEST_F(ZipDirectoryTest, ANameWithoutAFileGivesAnEmptyDirectoryQuietly) {
    EXPECT_EQ(Open(kFolder + "\\not-yet.zip"), 0);
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.ZipFileName(), kFolder + "\\not-yet.zip");
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(dirUpdates, 1);
}

TEST_F(ZipDirectoryTest, AFileWithoutAnEndRecordIsNoArchive) {
    for (size_t size : {size_t(10), size_t(5000)}) {
        messages.clear();
        const std::string path = Write("plain.txt", Bytes(size, 'x'));
        EXPECT_EQ(Open(path), kMsgNotZip);
        EXPECT_EQ(messages,
                  (std::vector<std::string>{"11036 This archive is not a valid Zip archive"}));
        EXPECT_EQ(zip.Count(), 0);
        EXPECT_EQ(zip.ZipFileName(), path);
    }
    EXPECT_EQ(dirUpdates, 2);
}

TEST_F(ZipDirectoryTest, ArchivesWithoutEntries) {
    ZipWriter w;
    const std::string bare = Write("bare.zip", w.Build());
    EXPECT_EQ(Open(bare), 0);
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.SFXOffset(), 0u);
    EXPECT_EQ(zip.ZipSOC(), 0u);
    EXPECT_EQ(zip.ZipEOC(), 0u);

    w.comment = std::string(300, 'c');
    const std::string commented = Write("commented.zip", w.Build());
    EXPECT_EQ(Open(commented), 0);
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_EQ(zip.ZipComment(), w.comment);
    EXPECT_EQ(zip.SFXOffset(), 22u + 300u);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ZipDirectoryTest, FolderEntriesAreLeftOutUnlessAskedFor) {
    ZipWriter w;
    w.Add(fixtures::FolderEntry("docs/"));
    w.Add(fixtures::StoredEntry("a/b.txt", "b"));
    w.Add(fixtures::FolderEntry("a/"));
    w.Add(fixtures::StoredEntry("c.txt", "c"));
    const std::string path = Write("folders.zip", w.Build());
    EXPECT_EQ(Open(path), 0);
    EXPECT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.Worker().DirOnlyCount(), 2);
    EXPECT_EQ(newNames, (std::vector<std::string>{"2 a\\b.txt", "4 c.txt"}));

    newNames.clear();
    zip.UseDirOnlyEntries = true;
    EXPECT_EQ(Open(path), 0);
    EXPECT_EQ(zip.Count(), 4);
    EXPECT_EQ(zip.Worker().DirOnlyCount(), 0);
    EXPECT_EQ(zip.DirEntry(0).FileName, "docs\\");
}

TEST_F(ZipDirectoryTest, BytesAfterTheCommentAreFillerOrGarbage) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "alpha"));
    w.comment = "note";
    struct Case {
        Bytes tail;
        bool warned;
    };
    Bytes withLetter(100, 0);
    withLetter[40] = 0x41;
    const Case cases[] = {{Bytes(100, 0), false}, {withLetter, true}, {Bytes(600, 0), true}};
    for (const Case& c : cases) {
        messages.clear();
        w.trailing = c.tail;
        const fixtures::Archive a = w.Build();
        const std::string path = Write("tail.zip", a);
        if (c.warned) {
            EXPECT_EQ(Open(path), kMsgBytesAfterComment);
            EXPECT_EQ(
                messages,
                (std::vector<std::string>{"10204 Warning - Garbage at the end of the zipfile!"}));
        } else {
            EXPECT_EQ(Open(path), 0);
            EXPECT_TRUE(messages.empty());
        }
        EXPECT_EQ(zip.Count(), 1);
        EXPECT_EQ(zip.Worker().ArchiveSize(), a.bytes.size() - c.tail.size());
        EXPECT_EQ(zip.RealFileSize(), a.bytes.size());
        EXPECT_EQ(zip.ZipComment(), "note");
    }
}

TEST_F(ZipDirectoryTest, AProgramStubInFront) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "alpha"));
    w.Add(fixtures::DeflatedEntry("b.txt", "beta beta beta"));
    w.stub = fixtures::ProgramStub(10000);
    const fixtures::Archive adjusted = w.Build();
    EXPECT_EQ(Open(Write("adjusted.exe", adjusted)), 0);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(zip.SFXOffset(), 10000u);
    EXPECT_EQ(zip.Count(), 2);

    w.adjust_offsets = false;
    const fixtures::Archive loose = w.Build();
    EXPECT_EQ(Open(Write("loose.exe", loose)), kMsgCentralMoved);
    EXPECT_EQ(messages, (std::vector<std::string>{"10203 Warning - Error in zip structure!"}));
    ASSERT_EQ(zip.Count(), 2);
    EXPECT_EQ(zip.ZipSOC(), loose.layout.central_offset + 10000);
    EXPECT_EQ(zip.SFXOffset(), 10000u + loose.layout.entries[0].local_offset);
}

TEST_F(ZipDirectoryTest, AProgramWhoseEntriesDoNotMatchOpensTheArchiveBesideIt) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("inside.txt", "x"));
    w.stub = fixtures::ProgramStub(4096);
    fixtures::Archive program = w.Build();
    program.SetCentral(0, fixtures::Field::LocalOffset, 7);
    const std::string exe = Write("setup.exe", program);
    ZipWriter beside;
    beside.Add(fixtures::StoredEntry("beside.txt", "y"));
    Write("setup.zip", beside.Build());
    EXPECT_EQ(Open(exe), 0);
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.DirEntry(0).FileName, "beside.txt");
    EXPECT_EQ(zip.ZipFileName(), exe);
}

TEST_F(ZipDirectoryTest, DamagedDirectoriesFailWithTheirMessage) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "alpha"));
    fixtures::Entry b = fixtures::StoredEntry("b.txt", "beta");
    b.comment = "a comment";
    w.Add(b);
    const fixtures::Archive good = w.Build();
    const uint64_t second = good.layout.entries[1].central_position;

    struct Case {
        const char* what;
        fixtures::Archive archive;
        int32_t code;
    };
    std::vector<Case> cases;
    fixtures::Archive sig = good;
    sig.Put32(second, 0x12345678);
    cases.push_back({"wrong header signature", sig, kMsgBadCentralSig});
    fixtures::Archive comment = good;
    comment.SetCentral(1, fixtures::Field::CommentLength, 60000);
    cases.push_back({"comment past the end", comment, kMsgCommentShort});
    fixtures::Archive count = good;
    count.SetEnd(fixtures::EndField::TotalEntries, 3);
    cases.push_back({"more entries than headers", count, kMsgHeaderShort});
    fixtures::Archive longName = good;
    longName.SetCentral(0, fixtures::Field::NameLength, 260);
    cases.push_back({"name of 260 bytes", longName, kMsgBadName});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        messages.clear();
        EXPECT_EQ(Open(Write("damaged.zip", c.archive)), c.code);
        EXPECT_EQ(messages.size(), 1u);
        EXPECT_EQ(zip.ZipFileName(), "");
        EXPECT_EQ(zip.Count(), 0);
        EXPECT_EQ(zip.SFXOffset(), 0u);
    }
}

TEST_F(ZipDirectoryTest, NamesOf259BytesAreTheLongestAccepted) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry(std::string(255, 'n') + ".txt", "x"));
    EXPECT_EQ(Open(Write("long.zip", w.Build())), 0);
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.DirEntry(0).FileName.size(), 259u);

    ZipWriter w2;
    w2.Add(fixtures::StoredEntry(std::string(256, 'n') + ".txt", "x"));
    EXPECT_EQ(Open(Write("longer.zip", w2.Build())), kMsgBadName);
    EXPECT_EQ(zip.Count(), 0);
}

TEST_F(ZipDirectoryTest, RecordsBetweenTheLastHeaderAndTheEndRecordAreRefused) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "alpha"));
    // The signature record counts as part of the central directory, so the end record no longer
    // follows the last header.
    w.digital_signature = Bytes{1, 2, 3};
    EXPECT_EQ(Open(Write("signed.zip", w.Build())), kMsgBadEnd);
    EXPECT_EQ(zip.Count(), 0);

    // Zip64 records do not count, so the directory seems to start late: the reader warns and
    // then finds no header where it looks.
    w.digital_signature.reset();
    w.zip64_end = true;
    messages.clear();
    EXPECT_EQ(Open(Write("zip64.zip", w.Build())), kMsgBadCentralSig);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "10203 Warning - Error in zip structure!");
    EXPECT_EQ(zip.Count(), 0);
}

TEST_F(ZipDirectoryTest, CancellingStopsAfterTheCurrentEntry) {
    ZipWriter w;
    for (int i = 0; i < 5; ++i) w.Add(fixtures::StoredEntry("f" + std::to_string(i), "x"));
    const std::string path = Write("many.zip", w.Build());
    zip.SetOnCheckTerminate([&](ui::Component*, bool& abort) { abort = newNames.size() >= 2; });
    EXPECT_EQ(Open(path), 11007);
    EXPECT_EQ(newNames.size(), 2u);
    EXPECT_EQ(zip.ZipFileName(), "");
    EXPECT_TRUE(zip.Cancel());
}

TEST_F(ZipDirectoryTest, NamesAndCommentsFromDosAreConvertedFromTheOemCodePage) {
    const std::string oem = "caf\x82";  // "café" in code page 437
    for (uint8_t host : {fixtures::kHostMsDos, fixtures::kHostUnix}) {
        ZipWriter w;
        fixtures::Entry e = fixtures::StoredEntry(oem + ".txt", "x");
        e.host = host;
        w.Add(e);
        w.comment = oem;
        EXPECT_EQ(Open(Write("oem.zip", w.Build())), 0);
        ASSERT_EQ(zip.Count(), 1);
        const std::string expected =
            host == fixtures::kHostMsDos ? platform::ConvertOemToAnsi(oem) : oem;
        EXPECT_EQ(zip.DirEntry(0).FileName, expected + ".txt") << int(host);
        EXPECT_EQ(zip.ZipComment(), expected) << int(host);
    }
    // With no conversion asked for, the bytes stay as stored.
    zip.CodePage = cpNone;
    EXPECT_EQ(Open(kFolder + "\\oem.zip"), 0);
    EXPECT_EQ(zip.ZipComment(), oem);
}

TEST_F(ZipDirectoryTest, NamesFlaggedAsUtf8AreDecodedAsUtf8) {
    ZipWriter w;
    fixtures::Entry e = fixtures::StoredEntry("caf\xC3\xA9.txt", "x");  // UTF-8 "café.txt"
    e.utf8 = true;
    w.Add(e);
    EXPECT_EQ(Open(Write("utf8.zip", w.Build())), 0);
    ASSERT_EQ(zip.Count(), 1);
    EXPECT_EQ(zip.DirEntry(0).FileName, platform::Utf16ToAnsi(u"caf\u00E9.txt"));
}

// --- Multi-part sets ---------------------------------------------------------------------------

// A set whose central directory starts before the last part and runs on into it.
fixtures::PartSet SmallParts(fixtures::PartNaming naming, const std::string& base) {
    ZipWriter w;
    for (int i = 0; i < 40; ++i)
        w.Add(fixtures::StoredEntry("file-with-a-longer-name-" + std::to_string(100 + i) + ".txt",
                                    "ten bytes."));
    fixtures::SplitOptions o;
    o.naming = naming;
    o.base = base;
    o.part_sizes = {2500};
    fixtures::PartSet set = w.BuildParts(o);
    EXPECT_LT(set.layout.central_disk, set.layout.last_disk);
    return set;
}

TEST_F(ZipDirectoryTest, NumberedNamesAreFoundFromTheSetsName) {
    const fixtures::PartSet set = SmallParts(fixtures::PartNaming::NumberedNames, "arc");
    ASSERT_GE(set.parts.size(), 3u);
    for (const fixtures::Part& p : set.parts) Write(p.file_name, p.bytes);
    EXPECT_EQ(Open(kFolder + "\\arc.zip"), 0);
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_TRUE(zip.IsSpanned());
    EXPECT_EQ(zip.Worker().LastDiskNr(), set.parts.size() - 1);
    EXPECT_EQ(zip.Worker().OpenedFileName(), kFolder + "\\" + set.parts.back().file_name);
    ASSERT_EQ(zip.Count(), 40);
    for (int32_t i = 0; i < 40; ++i)
        EXPECT_EQ(zip.DirEntry(i).StartDisk, set.layout.entries[size_t(i)].disk);
}

TEST_F(ZipDirectoryTest, NumberedExtensionsAreReadPartByPart) {
    const fixtures::PartSet set = SmallParts(fixtures::PartNaming::NumberedExtensions, "name");
    ASSERT_GE(set.parts.size(), 3u);
    EXPECT_EQ(set.parts[0].file_name, "name.z01");
    for (const fixtures::Part& p : set.parts) Write(p.file_name, p.bytes);
    EXPECT_EQ(Open(kFolder + "\\name.zip"), 0);
    EXPECT_TRUE(messages.empty()) << messages[0];
    ASSERT_EQ(zip.Count(), 40);
    EXPECT_EQ(zip.Worker().PartNaming(), 3);
}

TEST_F(ZipDirectoryTest, ANumberedPlainArchiveIsNoSet) {
    ZipWriter w;
    w.Add(fixtures::StoredEntry("a.txt", "alpha"));
    Write("single001.zip", w.Build());
    EXPECT_EQ(Open(kFolder + "\\single.zip"), 0);
    EXPECT_EQ(zip.Count(), 0);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ZipDirectoryTest, ADiskPromptWhileUnattendedFailsAndOneAnsweredByTheProgramGoesOn) {
    const fixtures::PartSet set = SmallParts(fixtures::PartNaming::VolumeLabel, "disk");
    ASSERT_GE(set.parts.size(), 2u);
    // Each disk is a folder with its label; the drive shows the last one first.
    std::vector<std::string> disks;
    for (const fixtures::Part& p : set.parts) {
        const std::string disk = kFolder + "\\" + p.volume_label.substr(p.volume_label.size() - 3);
        platform::MakeFolder(disk);
        testing_machine::WriteVolumeLabel(disk, p.volume_label);
        const std::string file = disk + "\\" + p.file_name;
        std::ofstream(platform::HostPath(file), std::ios::binary)
            .write(reinterpret_cast<const char*>(p.bytes.data()), std::streamsize(p.bytes.size()));
        written.push_back(file);
        disks.push_back(disk);
    }
    ASSERT_TRUE(testing_machine::MapTestDrive('b', disks.back(), platform::kDriveRemovable));

    EXPECT_EQ(Open("B:\\disk.zip"), kMsgUnattendedDisk);
    EXPECT_EQ(zip.Count(), 0);

    std::vector<int32_t> asked;
    zip.SetOnGetNextDisk([&](ui::Component*, int32_t seq, int32_t total, const std::string& drive,
                             bool& cancel) {
        asked.push_back(seq);
        EXPECT_EQ(total, int32_t(set.parts.size()));
        EXPECT_EQ(drive, "B");
        cancel =
            !testing_machine::MapTestDrive('b', disks[size_t(seq - 1)], platform::kDriveRemovable);
    });
    zip.Unattended = false;
    messages.clear();
    EXPECT_EQ(Open("B:\\disk.zip"), 0);
    EXPECT_TRUE(messages.empty()) << messages[0];
    EXPECT_EQ(zip.Count(), 40);
    EXPECT_EQ(zip.Worker().PartNaming(), 1);
    ASSERT_FALSE(asked.empty());
    EXPECT_EQ(asked.front(), int32_t(set.layout.central_disk) + 1);
    testing_machine::UnmapTestDrive('b');
}

#ifdef SETUP_REFERENCE_ARCHIVES
// The directory must agree, entry by entry, with what the real tools wrote.
TEST_F(ZipDirectoryTest, AgreesWithTheRealToolsEntryByEntry) {
    const std::string folder = SETUP_REFERENCE_ARCHIVES;
    const std::vector<fixtures::ManifestEntry> manifest =
        fixtures::LoadManifest(folder + "/manifest.txt");
    std::vector<std::string> archives;
    for (const auto& m : manifest)
        if (archives.empty() || archives.back() != m.archive) archives.push_back(m.archive);
    ASSERT_GE(archives.size(), 6u);
    zip.UseDirOnlyEntries = true;
    for (const std::string& name : archives) {
        SCOPED_TRACE(name);
        messages.clear();
        EXPECT_EQ(Open("Z:" + Backslashed(folder + "/" + name)), 0);
        EXPECT_TRUE(messages.empty()) << messages[0];
        std::vector<fixtures::ManifestEntry> expected;
        for (const auto& m : manifest)
            if (m.archive == name) expected.push_back(m);
        ASSERT_EQ(zip.Count(), int32_t(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            const ZipDirEntry& e = zip.DirEntry(int32_t(i));
            const fixtures::ManifestEntry& m = expected[i];
            EXPECT_EQ(e.FileName, Backslashed(m.name));
            EXPECT_EQ(e.Method, m.method) << m.name;
            EXPECT_EQ(e.PackedSize, m.compressed_size) << m.name;
            EXPECT_EQ(e.UnpackedSize, m.uncompressed_size) << m.name;
            EXPECT_EQ(e.Crc, m.crc) << m.name;
            EXPECT_EQ(e.LocalOffset, m.local_offset) << m.name;
            EXPECT_EQ(e.IsEncrypted, m.encrypted) << m.name;
            EXPECT_EQ(e.StartDisk, m.disk) << m.name;
        }
    }
}
#endif

}  // namespace
}  // namespace archive
