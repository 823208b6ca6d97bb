#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <filesystem>
#include <string>

#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/Paths.h"

using namespace platform;

namespace {

const std::string kDir = "C:\\filehandle-test";

class FileHandleTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::error_code ec;
        std::filesystem::remove_all(HostPath(kDir), ec);  // what an earlier run may have left
        ASSERT_TRUE(MakeFolder(kDir));
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(HostPath(kDir), ec);
    }

    static std::string Make(const std::string& name, const std::string& content) {
        const std::string path = kDir + "\\" + name;
        FileHandle h = FileOpen(path, FileAccess::kWrite, FileShare::kDenyNone,
                                FileDisposition::kCreateAlways);
        EXPECT_NE(h, kInvalidFileHandle) << path;
        EXPECT_EQ(FileWrite(h, content.data(), content.size()),
                  static_cast<int64_t>(content.size()));
        EXPECT_TRUE(FileClose(h));
        return path;
    }
};

}  // namespace

TEST_F(FileHandleTest, WrittenBytesReadBackAtEverySeekOrigin) {
    const std::string path = kDir + "\\data.bin";
    FileHandle h =
        FileOpen(path, FileAccess::kReadWrite, FileShare::kDenyWrite, FileDisposition::kCreateNew);
    ASSERT_NE(h, kInvalidFileHandle);
    EXPECT_EQ(FileWrite(h, "0123456789", 10), 10);
    EXPECT_EQ(FileSize(h), 10);
    EXPECT_EQ(FileSeek(h, 2, SeekOrigin::kFromStart), 2);
    EXPECT_EQ(FileSeek(h, 3, SeekOrigin::kFromCurrent), 5);
    char buf[16] = {};
    EXPECT_EQ(FileRead(h, buf, 3), 3);
    EXPECT_EQ(std::string(buf, 3), "567");
    EXPECT_EQ(FileSeek(h, -4, SeekOrigin::kFromEnd), 6);
    EXPECT_EQ(FileRead(h, buf, sizeof buf), 4);  // short only at the end
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(FileRead(h, buf, sizeof buf), 0);

    // Before the start is an error that leaves the position; beyond 4 GiB is a position.
    EXPECT_EQ(FileSeek(h, -11, SeekOrigin::kFromEnd), -1);
    EXPECT_EQ(FileSeek(h, 0, SeekOrigin::kFromCurrent), 10);
    const int64_t far = int64_t{5} << 30;
    EXPECT_EQ(FileSeek(h, far, SeekOrigin::kFromStart), far);
    EXPECT_EQ(FileRead(h, buf, sizeof buf), 0);
    EXPECT_EQ(FileSize(h), 10);
    EXPECT_TRUE(FileClose(h));
}

TEST_F(FileHandleTest, DispositionsCreateEmptyAndRefuseAsTold) {
    const std::string path = Make("a.txt", "old content");
    EXPECT_EQ(FileOpen(path, FileAccess::kWrite, FileShare::kDenyNone, FileDisposition::kCreateNew),
              kInvalidFileHandle);
    EXPECT_EQ(FileOpen(kDir + "\\missing.txt", FileAccess::kRead, FileShare::kDenyNone,
                       FileDisposition::kOpenExisting),
              kInvalidFileHandle);
    // Creating without write access is refused and leaves the file as it was.
    EXPECT_EQ(
        FileOpen(path, FileAccess::kRead, FileShare::kDenyNone, FileDisposition::kCreateAlways),
        kInvalidFileHandle);
    FileHandle h =
        FileOpen(path, FileAccess::kRead, FileShare::kDenyNone, FileDisposition::kOpenExisting);
    EXPECT_EQ(FileSize(h), 11);
    EXPECT_TRUE(FileClose(h));

    h = FileOpen(path, FileAccess::kReadWrite, FileShare::kDenyNone,
                 FileDisposition::kCreateAlways);
    ASSERT_NE(h, kInvalidFileHandle);
    EXPECT_EQ(FileSize(h), 0);
    EXPECT_TRUE(FileClose(h));
}

TEST_F(FileHandleTest, FoldersMissingDrivesAndInvalidHandlesFailCleanly) {
    for (FileAccess access : {FileAccess::kRead, FileAccess::kReadWrite})
        EXPECT_EQ(FileOpen(kDir, access, FileShare::kDenyNone, FileDisposition::kOpenExisting),
                  kInvalidFileHandle);
    EXPECT_EQ(FileOpen("", FileAccess::kRead, FileShare::kDenyNone, FileDisposition::kOpenExisting),
              kInvalidFileHandle);
    EXPECT_EQ(FileOpen("Q:\\nothing\\here.zip", FileAccess::kRead, FileShare::kDenyNone,
                       FileDisposition::kOpenExisting),
              kInvalidFileHandle);
    char byte = 0;
    EXPECT_EQ(FileRead(kInvalidFileHandle, &byte, 1), -1);
    EXPECT_FALSE(FileClose(kInvalidFileHandle));
}

// The same table holds on Windows, where the system enforces it, and on POSIX hosts, where the
// service emulates it among its own opens.
TEST_F(FileHandleTest, ShareModesAdmitAndRefuseSecondOpensAsWindowsDoes) {
    const std::string path = Make("shared.bin", "shared");
    using A = FileAccess;
    using S = FileShare;
    struct Case {
        A firstAccess;
        S firstShare;
        A secondAccess;
        S secondShare;
        bool admitted;
    };
    const Case cases[] = {
        {A::kRead, S::kDenyNone, A::kReadWrite, S::kDenyNone, true},
        {A::kRead, S::kDenyWrite, A::kRead, S::kDenyNone, true},
        {A::kRead, S::kDenyWrite, A::kWrite, S::kDenyNone, false},
        {A::kRead, S::kDenyWrite, A::kReadWrite, S::kDenyNone, false},
        {A::kReadWrite, S::kDenyNone, A::kRead, S::kDenyWrite, false},  // would deny a writer
        {A::kWrite, S::kDenyNone, A::kRead, S::kDenyWrite, false},
        {A::kRead, S::kDenyReadWrite, A::kRead, S::kDenyNone, false},
        {A::kRead, S::kDenyNone, A::kRead, S::kDenyReadWrite, false},
    };
    for (const Case& c : cases) {
        const std::string what = "case " + std::to_string(&c - cases);
        FileHandle first =
            FileOpen(path, c.firstAccess, c.firstShare, FileDisposition::kOpenExisting);
        ASSERT_NE(first, kInvalidFileHandle) << what;
        FileHandle second =
            FileOpen(path, c.secondAccess, c.secondShare, FileDisposition::kOpenExisting);
        EXPECT_EQ(second != kInvalidFileHandle, c.admitted) << what;
        if (second != kInvalidFileHandle) {
            EXPECT_TRUE(FileClose(second));
        }
        EXPECT_TRUE(FileClose(first));
    }
    // A refused re-creation must not have emptied the file it was refused.
    FileHandle reader = FileOpen(path, A::kRead, S::kDenyWrite, FileDisposition::kOpenExisting);
    EXPECT_EQ(FileOpen(path, A::kWrite, S::kDenyNone, FileDisposition::kCreateAlways),
              kInvalidFileHandle);
    EXPECT_EQ(FileSize(reader), 6);
    EXPECT_TRUE(FileClose(reader));
    // Once every open is closed, an exclusive one succeeds.
    FileHandle alone =
        FileOpen(path, A::kReadWrite, S::kDenyReadWrite, FileDisposition::kOpenExisting);
    EXPECT_NE(alone, kInvalidFileHandle);
    EXPECT_TRUE(FileClose(alone));
}

TEST_F(FileHandleTest, AttributesTellFoldersFilesAndReadOnlyFiles) {
    FileAttributes a;
    ASSERT_TRUE(ReadFileAttributes(kDir, a));
    EXPECT_TRUE(a.directory);
    const std::string path = Make("ro.txt", "x");
    ASSERT_TRUE(ReadFileAttributes(path, a));
    EXPECT_FALSE(a.directory);
    EXPECT_FALSE(a.readOnly);
    namespace fs = std::filesystem;
    fs::permissions(HostPath(path),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ASSERT_TRUE(ReadFileAttributes(path, a));
    EXPECT_TRUE(a.readOnly);
    fs::permissions(HostPath(path), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_FALSE(ReadFileAttributes(kDir + "\\missing", a));
    EXPECT_FALSE(ReadFileAttributes("", a));
}

TEST_F(FileHandleTest, APrivateFileIsNewAndOnlyItsUserAndAdministratorsMayChangeIt) {
    // Whatever lies at the path already (a leftover, a planted file) is refused and kept.
    const std::string there = Make("there.dll", "planted");
    EXPECT_EQ(FileCreatePrivate(there), kInvalidFileHandle);
    FileHandle h =
        FileOpen(there, FileAccess::kRead, FileShare::kDenyNone, FileDisposition::kOpenExisting);
    char buf[16] = {};
    EXPECT_EQ(FileRead(h, buf, sizeof buf), 7);
    EXPECT_TRUE(FileClose(h));

    const std::string path = kDir + "\\new.dll";
    h = FileCreatePrivate(path);
    ASSERT_NE(h, kInvalidFileHandle);
    EXPECT_EQ(FileWrite(h, "MZ", 2), 2);
    // No other open while it is being written.
    EXPECT_EQ(
        FileOpen(path, FileAccess::kRead, FileShare::kDenyNone, FileDisposition::kOpenExisting),
        kInvalidFileHandle);
    EXPECT_TRUE(FileClose(h));
    // Only its owner may use it on POSIX hosts; Wine keeps no access list to look at.
#if !defined(_WIN32)
    struct stat st;
    ASSERT_EQ(stat(HostPath(path).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
#endif
}
