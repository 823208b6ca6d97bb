// The component with the real engine module: every entry of the archives the real zip tools made
// comes out byte-exact (size and CRC as the tools recorded them), to memory and to a folder.
#include <gtest/gtest.h>
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archive/ZipBuilder.h"
#include "archive/Ziputils.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/fixtures/ZipWriter.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

#if defined(SETUP_REFERENCE_ARCHIVES) && defined(SETUP_ENGINE_DIR)

namespace archive {
namespace {

// A folder of the build machine as the program names it (Wine and the Linux prefix both show
// the host's root as drive Z:).
std::string HostFolder(std::string path) {
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

std::string Backslashed(std::string name) {
    for (char& c : name)
        if (c == '/') c = '\\';
    return name;
}

uint32_t Crc(const uint8_t* data, size_t size) {
    return static_cast<uint32_t>(crc32(0, data, static_cast<uInt>(size)));
}

class ExtractEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
        zip.Unattended = true;
        zip.DLLDirectory = HostFolder(SETUP_ENGINE_DIR);
        zip.SetOnMessage([this](ui::Component*, int32_t code, const std::string& m) {
            if (code != 0) errors.push_back(std::to_string(code) + " " + m);
        });
        zip.SetOnPasswordError([this](ui::Component*, bool, std::string& password,
                                      const std::string&, uint32_t&, TMsgDlgBtn&) {
            ++passwordRequests;
            password = "secret";
        });
        manifest = fixtures::LoadManifest(std::string(SETUP_REFERENCE_ARCHIVES) + "/manifest.txt");
        for (const auto& m : manifest)
            if (archives.empty() || archives.back() != m.archive) archives.push_back(m.archive);
    }
    void TearDown() override { ui::Application::Instance().Shutdown(); }

    size_t CountOf(const std::string& archive) const {
        size_t n = 0;
        for (const auto& m : manifest) n += m.archive == archive;
        return n;
    }
    std::vector<fixtures::ManifestEntry> FilesOf(const std::string& archive) const {
        std::vector<fixtures::ManifestEntry> files;
        for (const auto& m : manifest)
            if (m.archive == archive && m.name.back() != '/') files.push_back(m);
        return files;
    }

    TZipBuilder zip{nullptr, "ZipBuilder1"};
    std::vector<fixtures::ManifestEntry> manifest;
    std::vector<std::string> archives;
    std::vector<std::string> errors;
    int passwordRequests = 0;
};

TEST_F(ExtractEndToEndTest, EveryEntryOfTheToolsArchivesComesOutToMemory) {
    ASSERT_GE(archives.size(), 7u);
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        zip.Clear();
        zip.SetFileName(HostFolder(std::string(SETUP_REFERENCE_ARCHIVES) + "/" + archive));
        ASSERT_GT(zip.Count(), 0);
        for (const fixtures::ManifestEntry& m : FilesOf(archive)) {
            // Entries are named as the component lists them, with "\\" between folders.
            zip.FSpecArgs() = {Backslashed(m.name)};
            TZipStream* out = zip.ExtractFileToStream("");
            ASSERT_NE(out, nullptr) << m.name << (errors.empty() ? "" : ": " + errors.back());
            EXPECT_EQ(uint64_t(out->Size()), m.uncompressed_size) << m.name;
            EXPECT_EQ(Crc(out->Memory(), size_t(out->Size())), m.crc) << m.name;
            EXPECT_EQ(zip.SuccessCnt(), 1) << m.name;
        }
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_GT(passwordRequests, 0);
}

TEST_F(ExtractEndToEndTest, EveryArchiveOfTheToolsExtractsToAFolder) {
    for (const std::string& archive : archives) {
        SCOPED_TRACE(archive);
        const std::string folder = "C:\\extracted\\" + archive;
        ASSERT_TRUE(ForceDirectory(folder));
        zip.Clear();
        zip.SetFileName(HostFolder(std::string(SETUP_REFERENCE_ARCHIVES) + "/" + archive));
        zip.FSpecArgs().clear();
        zip.ExtrBaseDir = folder;
        zip.ExtrOptions = ExtrOpt(ExtrDirNames) | ExtrOpt(ExtrOverWrite);
        EXPECT_EQ(zip.Extract(), 0) << (errors.empty() ? "" : errors.back());
        const std::vector<fixtures::ManifestEntry> files = FilesOf(archive);
        // Folder entries count as extracted too.
        EXPECT_EQ(zip.SuccessCnt(), int32_t(CountOf(archive)));
        for (const fixtures::ManifestEntry& m : files) {
            std::ifstream in(platform::HostPath(folder + "\\" + Backslashed(m.name)),
                             std::ios::binary);
            ASSERT_TRUE(in) << m.name;
            const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(bytes.size(), m.uncompressed_size) << m.name;
            EXPECT_EQ(Crc(bytes.data(), bytes.size()), m.crc) << m.name;
        }
    }
    EXPECT_TRUE(errors.empty()) << errors.front();
}

}  // namespace
}  // namespace archive

#endif
