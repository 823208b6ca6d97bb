// The archives real zip tools made (Info-ZIP zip with and without a password, a program stub,
// 7zz with ZipCrypto, bsdtar, Python's zipfile): every entry extracted to memory and to a
// folder must have the size and CRC that Python's zipfile read from the same archive, and the
// text files their known bytes.
#include <gtest/gtest.h>
#include <zlib.h>

#include <map>
#include <set>
#include <string>

#include "platform/Paths.h"
#include "tests/engine/EngineHarness.h"
#include "tests/fixtures/ZipWriter.h"

using namespace engine_test;

namespace {

const std::string kDir = SETUP_REFERENCE_ARCHIVES;

uint32_t CrcOf(const std::vector<uint8_t>& bytes) {
    return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

std::string Numbers() {
    std::string s;
    for (int i = 1; i <= 20000; ++i) s += std::to_string(i) + "\n";
    return s;
}

// The entries of each archive the tests read (split sets are the component's to join).
std::map<std::string, std::vector<fixtures::ManifestEntry>> Archives() {
    std::map<std::string, std::vector<fixtures::ManifestEntry>> archives;
    for (const auto& e : fixtures::LoadManifest(kDir + "/manifest.txt"))
        if (e.archive != "split.zip") archives[e.archive].push_back(e);
    return archives;
}

const std::map<std::string, std::string> kKnownText = {
    {"readme.txt", "Solvenza Quillora reference archive\r\n"},
    {"docs/guide.txt", "Guide\nline two\n"},
    {"empty.txt", ""},
};

}  // namespace

TEST(ReferenceArchiveTest, EveryEntryExtractsToMemoryByteExact) {
    ASSERT_EQ(Engine().error, "");
    const auto archives = Archives();
    ASSERT_EQ(archives.size(), 7u);
    for (const auto& [archive, entries] : archives) {
        for (const auto& e : entries) {
            if (!e.name.empty() && e.name.back() == '/') continue;
            Recorder recorder;
            Job job(recorder, kDir + "/" + archive);
            job.password = e.encrypted ? "secret" : "";
            job.toMemory = true;
            job.patterns = {e.name};
            job.outputSize = static_cast<uint32_t>(e.uncompressed_size);
            EXPECT_EQ(job.Run(), 1) << archive << " " << e.name << "\n" << recorder.Errors();
            EXPECT_EQ(recorder.block.size(), e.uncompressed_size) << archive << " " << e.name;
            EXPECT_EQ(CrcOf(recorder.block), e.crc) << archive << " " << e.name;
            const std::string content(recorder.block.begin(), recorder.block.end());
            if (e.name == "numbers.txt") {
                EXPECT_EQ(content, Numbers()) << archive;
            }
            if (auto known = kKnownText.find(e.name); known != kKnownText.end()) {
                EXPECT_EQ(content, known->second) << archive;
            }
        }
    }
}

TEST(ReferenceArchiveTest, EveryArchiveExtractsToAFolderAsTheToolsWroteIt) {
    ASSERT_EQ(Engine().error, "");
    for (const auto& [archive, entries] : Archives()) {
        const std::string out = MakeTestFolder("reference-" + archive);
        Recorder recorder;
        recorder.passwords = {"secret"};
        Job job(recorder, kDir + "/" + archive);
        job.base = out;
        job.dirNames = 1;
        EXPECT_EQ(job.Run(), static_cast<int32_t>(entries.size())) << archive << "\n"
                                                                   << recorder.Errors();
        // Asked once; the answer serves every further entry.
        EXPECT_EQ(recorder.Count(DZ_ACT_PASSWORD),
                  archive.find("crypt") != std::string::npos ? 1 : 0)
            << archive;
        std::set<std::string> expected;
        for (const auto& e : entries) {
            std::string name = e.name;
            if (!name.empty() && name.back() == '/') name.pop_back();
            for (size_t slash = name.find('/'); slash != std::string::npos;
                 slash = name.find('/', slash + 1))
                expected.insert(name.substr(0, slash));
            expected.insert(name);
            if (e.name.back() == '/') continue;
            const auto bytes = ReadFileBytes(out + "\\" + e.name);
            ASSERT_TRUE(bytes) << archive << " " << e.name;
            EXPECT_EQ(bytes->size(), e.uncompressed_size) << archive << " " << e.name;
            EXPECT_EQ(CrcOf(*bytes), e.crc) << archive << " " << e.name;
        }
        const auto listed = ListTree(out);
        EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), expected) << archive;
        RemoveTree(out);
    }
}
