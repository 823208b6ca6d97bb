#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "archive/Ziputils.h"
#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/Text.h"

using namespace archive;
using platform::FileAccess;
using platform::FileDisposition;
using platform::FileShare;
using platform::kInvalidFileHandle;

namespace {

void RemoveTree(const std::string& windowsPath) {
    std::error_code ec;
    std::filesystem::remove_all(platform::HostPath(windowsPath), ec);
}

std::string Resource(const char* name) {
    platform::ResourceBytes r;
    EXPECT_TRUE(platform::FindOwnResource("Zip", name, r)) << name;
    return std::string(reinterpret_cast<const char*>(r.data), r.size);
}

void Put16(std::string& s, size_t at, uint16_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>(v >> 8);
}

void Put32(std::string& s, size_t at, uint32_t v) {
    Put16(s, at, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, at + 2, static_cast<uint16_t>(v >> 16));
}

class ZipUtilsFiles : public ::testing::Test {
protected:
    const std::string dir = "C:\\ziputils-test";

    void SetUp() override {
        RemoveTree(dir);
        ASSERT_TRUE(platform::MakeFolder(dir));
    }
    void TearDown() override { RemoveTree(dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir + "\\" + name;
        platform::FileHandle h = platform::FileOpen(path, FileAccess::kWrite, FileShare::kDenyNone,
                                                    FileDisposition::kCreateAlways);
        EXPECT_NE(h, kInvalidFileHandle) << path;
        EXPECT_EQ(platform::FileWrite(h, bytes.data(), bytes.size()),
                  static_cast<int64_t>(bytes.size()));
        CloseFileHandle(h);
        return path;
    }

    int32_t Query(const std::string& name, const std::string& bytes) {
        return QueryZip(Write(name, bytes));
    }

    // The file can be had exclusively and deleted: nobody holds it open.
    static bool Released(const std::string& path) {
        platform::FileHandle h =
            platform::FileOpen(path, FileAccess::kReadWrite, FileShare::kDenyReadWrite,
                               FileDisposition::kOpenExisting);
        const bool alone = h != kInvalidFileHandle;
        CloseFileHandle(h);
        return alone && platform::RemoveFile(path);
    }
};

}  // namespace

TEST(ZipUtils, DelimitPathAddsTheStyleInUseAndDropsOnlyOne) {
    struct {
        const char* path;
        bool with;
        const char* expected;
    } const cases[] = {
        {"C:/a/b", true, "C:/a/b/"},
        {"C:\\a\\", false, "C:\\a"},
        {"", true, "\\"},
        {"", false, ""},
        {"C:", true, "C:\\"},
        {"C:\\a\\", true, "C:\\a\\"},
        {"a/b\\c", true, "a/b\\c\\"},
        {"C:/a/", false, "C:/a"},
        {"C:\\a\\\\", false, "C:\\a\\"},
        {"C:\\a", false, "C:\\a"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DelimitPath(c.path, c.with), c.expected) << c.path << " " << c.with;
}

TEST(ZipUtils, PathConcatJoinsWithExactlyOneBackslash) {
    struct {
        const char* path;
        const char* name;
        const char* expected;
    } const cases[] = {
        {"C:", "f.dll", "C:f.dll"},
        {"C:\\d\\", "\\f.dll", "C:\\d\\f.dll"},
        {"C:\\d", "f.dll", "C:\\d\\f.dll"},
        {"C:\\d\\", "f.dll", "C:\\d\\f.dll"},
        {"C:\\d", "\\f.dll", "C:\\d\\f.dll"},
        {"C:\\d", "", "C:\\d"},
        {"", "f.dll", "f.dll"},
        {"C:/d", "f.dll", "C:/d\\f.dll"},  // a slash is no delimiter here
    };
    for (const auto& c : cases)
        EXPECT_EQ(PathConcat(c.path, c.name), c.expected) << c.path << " + " << c.name;
}

TEST(ZipUtils, SetSlashTurnsEveryDelimiterOneWay) {
    EXPECT_EQ(SetSlash("a/b\\c", psdBackslash), "a\\b\\c");
    EXPECT_EQ(SetSlash("a/b\\c", psdSlash), "a/b/c");
    EXPECT_EQ(SetSlash("//x\\\\", psdSlash), "//x//");
    EXPECT_EQ(SetSlash("", psdBackslash), "");
}

TEST_F(ZipUtilsFiles, DirExistsOnlyForFolders) {
    EXPECT_TRUE(DirExists(""));
    EXPECT_TRUE(DirExists(dir));
    EXPECT_TRUE(DirExists(dir + "\\"));
    EXPECT_TRUE(DirExists("C:"));
    EXPECT_FALSE(DirExists(Write("file.txt", "x")));
    EXPECT_FALSE(DirExists(dir + "\\missing"));
    EXPECT_FALSE(DirExists("Q:\\no-such-drive"));
}

TEST_F(ZipUtilsFiles, ForceDirectoryCreatesEveryMissingParent) {
    RemoveTree("C:\\x");
    EXPECT_TRUE(ForceDirectory("C:\\x\\y\\z"));
    EXPECT_TRUE(DirExists("C:\\x\\y\\z"));
    EXPECT_TRUE(ForceDirectory("C:\\x\\y\\z\\"));  // already there
    RemoveTree("C:\\x");

    EXPECT_TRUE(ForceDirectory(""));
    EXPECT_TRUE(ForceDirectory("C:"));
    EXPECT_TRUE(ForceDirectory("C:\\"));

    // A doubled trailing backslash must not pass for a bare drive.
    EXPECT_TRUE(ForceDirectory(dir + "\\twice\\\\"));
    EXPECT_TRUE(DirExists(dir + "\\twice"));

    // A file in the way, a drive that is not there, a path no system takes.
    const std::string file = Write("file.txt", "x");
    EXPECT_FALSE(ForceDirectory(file + "\\sub"));
    EXPECT_FALSE(DirExists(file + "\\sub"));
    EXPECT_FALSE(ForceDirectory("Q:\\no-such-drive\\sub"));
    EXPECT_FALSE(ForceDirectory(dir + "\\" + std::string(40000, 'a')));
}

TEST_F(ZipUtilsFiles, CloseFileHandleClosesOnceAndMarksTheHandle) {
    const std::string path = Write("held.txt", "x");
    platform::FileHandle h = platform::FileOpen(path, FileAccess::kRead, FileShare::kDenyNone,
                                                FileDisposition::kOpenExisting);
    ASSERT_NE(h, kInvalidFileHandle);
    CloseFileHandle(h);
    EXPECT_EQ(h, kInvalidFileHandle);
    CloseFileHandle(h);  // left alone
    EXPECT_EQ(h, kInvalidFileHandle);
    EXPECT_TRUE(Released(path));
}

TEST_F(ZipUtilsFiles, QueryZipSeesAPlainArchiveWithOrWithoutComment) {
    EXPECT_EQ(Query("plain.zip", Resource("PLAINZIP")), 0xF2);
    EXPECT_EQ(Query("commented.zip", Resource("COMMENTEDZIP")), 0xF2);
    EXPECT_TRUE(Released(dir + "\\plain.zip"));
    EXPECT_TRUE(Released(dir + "\\commented.zip"));
}

TEST_F(ZipUtilsFiles, QueryZipFindsTheEndRecordBeforeAppendedBytes) {
    const std::string zip = Resource("PLAINZIP");
    EXPECT_EQ(Query("appended.zip", zip + "trailing bytes after the archive"), 0xE2);
    // The search reaches back exactly as far as an end record with the longest comment can
    // start: 65,535 bytes after it are found, 65,536 are not.
    EXPECT_EQ(Query("farthest.zip", zip + std::string(65535, 'x')), 0xE2);
    EXPECT_EQ(Query("too-far.zip", zip + std::string(65536, 'x')), 0x02);

    std::string longest = zip;
    Put16(longest, longest.size() - 2, 65535);
    longest += std::string(65535, 'c');
    EXPECT_EQ(Query("longest-comment.zip", longest), 0xF2);
}

TEST_F(ZipUtilsFiles, QueryZipTellsAProgramStubAndWhetherOffsetsCountIt) {
    // Offsets counted from the start of the file: everything is where the records say.
    EXPECT_EQ(Query("program.zip", Resource("PROGRAMZIP")), 0xF1);
    // An archive simply put behind a stub: its offsets miss the central directory.
    EXPECT_EQ(Query("unadjusted.zip", "MZ" + std::string(1000, '\0') + Resource("PLAINZIP")), 0x91);
}

TEST_F(ZipUtilsFiles, QueryZipLeavesASplitSetsDirectoryOffsetsAlone) {
    // The last part of a set: a local header, a central header that points at it, and an end
    // record that says the directory starts on the part before (disk 0) while this is disk 1.
    // The offset it states holds a central header in this file, but an offset into another
    // part proves nothing.
    std::string part(30 + 46 + 22, '\0');
    Put32(part, 0, 0x04034B50);
    Put32(part, 30, 0x02014B50);
    Put16(part, 30 + 34, 0);  // the entry starts on disk 0
    Put32(part, 30 + 42, 0);  // at offset 0
    const size_t end = 30 + 46;
    Put32(part, end, 0x06054B50);
    Put16(part, end + 4, 1);  // this disk
    Put16(part, end + 6, 0);  // disk of the central directory
    Put16(part, end + 10, 1);
    Put32(part, end + 12, 46);
    Put32(part, end + 16, 30);
    EXPECT_EQ(Query("split.z02", part), 0x92);

    // The directory on this disk: it is looked at, but the local header only when the entry
    // starts on this disk too.
    Put16(part, end + 6, 1);
    EXPECT_EQ(Query("directory-here.zip", part), 0xD2);
    Put16(part, 30 + 34, 1);
    EXPECT_EQ(Query("entry-here.zip", part), 0xF2);

    // A part that starts with the spanning marker and ends without an end record.
    std::string first(30, '\0');
    Put32(first, 0, 0x08074B50);
    Put32(first, 4, 0x04034B50);
    EXPECT_EQ(Query("split.z01", first), 0x04);
}

TEST_F(ZipUtilsFiles, QueryZipOnShortMissingAndHeldFiles) {
    const std::string ten = Write("ten.bin", std::string("PK\x03\x04", 4) + "abcdef");
    EXPECT_EQ(QueryZip(ten), 0x02);
    EXPECT_TRUE(Released(ten));
    EXPECT_EQ(Query("three.bin", "MZx"), 0);
    EXPECT_EQ(Query("empty.bin", ""), 0);

    EXPECT_EQ(QueryZip(dir + "\\missing.zip"), kQzCannotOpen);
    EXPECT_EQ(QueryZip(""), kQzCannotOpen);
    EXPECT_EQ(QueryZip(dir), kQzCannotOpen);
    // It reads with writers shut out, so a file being written cannot be looked at.
    const std::string busy = Write("busy.zip", Resource("PLAINZIP"));
    platform::FileHandle writer = platform::FileOpen(busy, FileAccess::kWrite, FileShare::kDenyNone,
                                                     FileDisposition::kOpenExisting);
    ASSERT_NE(writer, kInvalidFileHandle);
    EXPECT_EQ(QueryZip(busy), kQzCannotOpen);
    CloseFileHandle(writer);
    EXPECT_EQ(QueryZip(busy), 0xF2);
}

// Under a double-byte code page (Shift-JIS here) the second byte of a character may be 0x5C,
// the backslash: "\x83\x5C" is one character. The Windows build runs this a second time in a
// Japanese locale; elsewhere no byte leads a double-byte character and it is skipped. (Folders
// with such names are not made here: Wine cannot name them on a host without that locale.)
TEST(ZipUtilsDoubleByte, SecondBytesAreNeverDelimiters) {
    if (!platform::IsLeadByte(0x83)) GTEST_SKIP() << "not a double-byte code page";
    const std::string so = "\x83\x5C";
    EXPECT_EQ(DelimitPath("C:\\" + so, true), "C:\\" + so + "\\");
    EXPECT_EQ(DelimitPath("C:\\" + so, false), "C:\\" + so);
    EXPECT_EQ(SetSlash("a\\" + so + "/b", psdSlash), "a/" + so + "/b");
    EXPECT_EQ(PathConcat("C:\\" + so, "f.dll"), "C:\\" + so + "\\f.dll");
}
