// The payload archives as the program carries them: found under the lower-case names the install
// asks for, written to a file whole, and holding what the install takes from them, as our own
// archive component reads them.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/Payload.h"
#include "archive/ZipBuilder.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "tests/fixtures/ZipWriter.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace {

const std::string kFolder = "C:\\PayloadTest";
const std::string kServerFolder = "Firebird-2.1.1.1\\";

std::string ReadAll(const std::string& windowsPath) {
    std::ifstream in(platform::HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ui::Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

std::string ResourceText(const std::string& name) {
    platform::ResourceBytes r;
    if (!platform::FindOwnResource("ZIP", name, r)) return "";
    return std::string(reinterpret_cast<const char*>(r.data), r.size);
}

#ifdef SETUP_PAYLOAD_CONTENT
// What the build put into an entry, or "" when the entry has no such file (a folder entry).
std::string BuiltContent(const std::string& archive, const std::string& entry) {
    std::string path = "Z:" + std::string(SETUP_PAYLOAD_CONTENT) + "/" + archive + "/" + entry;
    for (char& c : path)
        if (c == '/') c = '\\';
    return ReadAll(path);
}
#endif

class PayloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        platform::MakeFolder(kFolder);
    }
    void TearDown() override {
        for (const char* name : {"cacfile.zip", "firebird.zip", "replaced.zip"})
            platform::RemoveFile(kFolder + "\\" + name);
        platform::RemoveFolder(kFolder);
        ui::Application::Instance().Shutdown();
    }

    // The archive's directory as the component reads it from the written file.
    std::vector<archive::ZipDirEntry> Directory(const std::string& name, bool folderEntries) {
        const std::string path = kFolder + "\\" + name + ".zip";
        payload::WriteArchiveResource(name, path);
        archive::TZipBuilder zip(nullptr, "z");
        zip.Unattended = true;
        zip.UseDirOnlyEntries = folderEntries;
        zip.SetFileName(path);
        EXPECT_EQ(zip.GetErrCode(), 0) << name;
        std::vector<archive::ZipDirEntry> entries;
        for (int32_t i = 0; i < zip.Count(); ++i) entries.push_back(zip.DirEntry(i));
        return entries;
    }

    // Checks every file entry against what the build put in, when the build made the archive.
    void ExpectBuiltContent([[maybe_unused]] const std::string& archive,
                            [[maybe_unused]] const std::vector<archive::ZipDirEntry>& entries) {
#ifdef SETUP_PAYLOAD_CONTENT
        for (const archive::ZipDirEntry& e : entries) {
            if (e.FileName.back() == '\\') continue;
            const std::string content = BuiltContent(archive, e.FileName);
            EXPECT_EQ(e.UnpackedSize, content.size()) << e.FileName;
            EXPECT_EQ(e.Crc, fixtures::Crc32(fixtures::ToBytes(content))) << e.FileName;
        }
#endif
    }
};

// Each archive comes out whole under its lower-case name.
TEST_F(PayloadTest, EachArchiveIsWrittenWholeUnderItsLowerCaseName) {
    for (const std::string name : {payload::kProductArchive, payload::kServerArchive}) {
        std::string upper = name;
        for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const std::string bytes = ResourceText(upper);
        ASSERT_GT(bytes.size(), 1000u) << name;
        payload::WriteArchiveResource(name, kFolder + "\\" + name + ".zip");
        EXPECT_TRUE(ReadAll(kFolder + "\\" + name + ".zip") == bytes) << name;
    }
}

// A missing resource (the right name under another type too) and a file that cannot be made are
// named; a file that stands at the path (someone else's) is neither written through nor replaced.
TEST_F(PayloadTest, EveryArchiveThatCannotBeWrittenIsNamedAndLeavesNoFile) {
    const std::string taken = kFolder + "\\replaced.zip";
    std::ofstream(platform::HostPath(taken), std::ios::binary) << "someone else's";
    const std::string missing = kFolder + "\\missing\\cacfile.zip";
    const struct {
        const char* name;
        std::string path, error;
    } cases[] = {
        {"cacfiles", kFolder + "\\cacfile.zip", "Resource cacfiles not found"},
        {"tuupd", kFolder + "\\cacfile.zip", "Resource tuupd not found"},
        {payload::kProductArchive, missing, "Cannot write file " + missing},
        {payload::kServerArchive, kFolder, "Cannot write file " + kFolder},
        {payload::kServerArchive, taken, "Cannot write file " + taken},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ErrorOf([&] { payload::WriteArchiveResource(c.name, c.path); }), c.error);
    EXPECT_FALSE(platform::FileExists(kFolder + "\\cacfile.zip"));
    EXPECT_EQ(ReadAll(taken), "someone else's");
}

TEST_F(PayloadTest,
       TheProductArchiveHoldsSeventyOneFlatEncryptedEntriesWithTheThreeTheInstallTakes) {
    const std::vector<archive::ZipDirEntry> entries = Directory(payload::kProductArchive, true);
    ASSERT_EQ(entries.size(), 71u);
    std::set<uint16_t> methods;
    std::set<std::string> names;
    int templates = 0;
    for (const archive::ZipDirEntry& e : entries) {
        EXPECT_TRUE(e.IsEncrypted) << e.FileName;
        EXPECT_EQ(e.GeneralFlags & 1, 1) << e.FileName;
        EXPECT_EQ(e.FileName.find_first_of("\\/:"), std::string::npos) << e.FileName;
        methods.insert(e.Method);
        names.insert(e.FileName);
        if (e.FileName.size() > 4 && e.FileName.compare(e.FileName.size() - 4, 4, ".mbc") == 0)
            ++templates;
    }
    EXPECT_EQ(names.size(), 71u);
    EXPECT_EQ(templates, 68);
    EXPECT_EQ(methods, (std::set<uint16_t>{fixtures::kStored, fixtures::kDeflated}));
    for (const char* required : {"ivoxcc.exe", "fb_gds32.dll", "voxTram.exe"}) {
        SCOPED_TRACE(required);
        ASSERT_EQ(names.count(required), 1u);
        for (const archive::ZipDirEntry& e : entries) {
            if (e.FileName != required) continue;
            EXPECT_GT(e.UnpackedSize, 1000u);
            EXPECT_LT(e.UnpackedSize, 64u << 20);
            // The 12 bytes of the encryption header come on top of the data.
            if (e.Method == fixtures::kStored) {
                EXPECT_EQ(e.PackedSize, e.UnpackedSize + 12);
            }
        }
    }
    ExpectBuiltContent("cacfile", entries);
}

TEST_F(PayloadTest, TheServerArchiveIsOnePlainTreeWithTheInstallersTheInstallStarts) {
    const std::vector<archive::ZipDirEntry> entries = Directory(payload::kServerArchive, true);
    ASSERT_EQ(entries.size(), 44u);
    std::set<std::string> names;
    for (const archive::ZipDirEntry& e : entries) {
        EXPECT_FALSE(e.IsEncrypted) << e.FileName;
        EXPECT_EQ(e.FileName.compare(0, kServerFolder.size(), kServerFolder), 0) << e.FileName;
        EXPECT_GT(e.FileName.size(), kServerFolder.size()) << e.FileName;
        EXPECT_EQ(e.FileName.find('/'), std::string::npos) << e.FileName;
        names.insert(e.FileName);
    }
    EXPECT_EQ(names.size(), 44u);
    for (const char* folder : {"bin\\", "intl\\", "system32\\", "udf\\"})
        EXPECT_EQ(names.count(kServerFolder + folder), 1u) << folder;
    for (const char* file : {"bin\\install_super.bat", "system32\\vccrt8_Win32.msi"})
        EXPECT_EQ(names.count(kServerFolder + file), 1u) << file;
    ExpectBuiltContent("firebird", entries);
}

}  // namespace
