// What an entry may cost follows the archive, not the sizes its headers declare: entries of a
// few bytes that declare 4 GiB, 2 GiB or 64 MiB, extracted to memory and to a folder through
// the real component and engine, each in a child process that measures its own peak against
// the peak it had after the same extraction of a truthful 4-byte entry.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/ZipBuilder.h"
#include "platform/Paths.h"
#include "tests/archive/support/ArchiveFiles.h"
#include "tests/fixtures/ZipWriter.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ProcessMemory.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace archive {
namespace {

const char* const kCaseVariable = "SETUP_DECLARED_SIZE_CASE";

// One archive with one entry of "tiny": stored, its packed and unpacked sizes both `declared`;
// deflated, its true packed size and `declared` as its content's size.
fixtures::Archive Claiming(uint16_t method, uint32_t declared) {
    fixtures::Entry e = method == fixtures::kStored ? fixtures::StoredEntry("e.txt", "tiny")
                                                    : fixtures::DeflatedEntry("e.txt", "tiny");
    if (declared != 0) {
        e.central.uncompressed_size = e.local.uncompressed_size = declared;
        if (method == fixtures::kStored)
            e.central.compressed_size = e.local.compressed_size = declared;
    }
    fixtures::ZipWriter w;
    w.Add(e);
    return w.Build();
}

// Extracts e.txt of the archive to memory or into a folder: true when "tiny" came out.
bool Extract(TZipBuilder& zip, const std::string& archive, bool toMemory,
             const std::string& folder) {
    zip.SetFileName(archive);
    if (toMemory) {
        TZipStream* out = zip.ExtractFileToStream("e.txt");
        return out && std::string(out->Bytes().begin(), out->Bytes().end()) == "tiny";
    }
    zip.ExtrBaseDir = folder;
    zip.Extract();
    std::ifstream in(platform::HostPath(folder + "\\e.txt"), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return zip.SuccessCnt() == 1 && content.str() == "tiny";
}

// The child's side, "method declared memory|folder" in the variable: ends with 3 when the claim
// is refused and costs less than 16 MiB over the truthful entry's peak, 1 when not.
TEST(DeclaredSizeChild, MeasuresOneCase) {
    const char* what = std::getenv(kCaseVariable);
    if (!what) GTEST_SKIP() << "runs only as the child of DeclaredSize";
    std::istringstream args(what);
    unsigned method = 0;
    uint32_t declared = 0;
    std::string target;
    args >> method >> declared >> target;

    ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
    const std::string folder = testing_archives::FreshFolder("declared");
    TZipBuilder zip(nullptr, "ZipBuilder1");
    zip.Unattended = true;
#ifdef SETUP_ENGINE_DIR
    std::string engine = SETUP_ENGINE_DIR;
    std::replace(engine.begin(), engine.end(), '/', '\\');
    zip.DLLDirectory = "Z:" + engine;
#endif
    const auto m = static_cast<uint16_t>(method);
    const auto run = [&](uint32_t claim, const char* name) {
        return Extract(zip, testing_archives::SaveArchive(Claiming(m, claim), folder, name),
                       target == "memory", folder);
    };
    EXPECT_TRUE(run(0, "truthful.zip"));
    const uint64_t baseline = testing_support::PeakResidentBytes();
    EXPECT_FALSE(run(declared, "claims.zip"));  // the data cannot be the declared size
    const uint64_t peak = testing_support::PeakResidentBytes();
    EXPECT_NE(zip.GetErrCode(), kMsgOutOfMemory);
    EXPECT_GT(baseline, 0u);
    EXPECT_LT(peak - baseline, uint64_t{16} << 20) << "peak " << peak << " after " << baseline;
    ui::Application::Instance().Shutdown();
    std::fflush(nullptr);
    std::exit(HasFailure() ? 1 : 3);  // 3: the measurement ran, so a skip cannot pass for it
}

TEST(DeclaredSize, AnEntryCostsWhatItsDataCanProduce) {
    for (uint16_t method : {fixtures::kStored, fixtures::kDeflated})
        for (uint32_t declared : {0xFFFFFFF0u, 0x80000000u, 64u << 20})
            for (const char* target : {"memory", "folder"}) {
                const std::string what = std::to_string(method) + " " + std::to_string(declared) +
                                         " " + target;
                EXPECT_EQ(testing_machine::RunThisProgram(
                              "--gtest_filter=DeclaredSizeChild.MeasuresOneCase", kCaseVariable,
                              what),
                          3)
                    << what;
            }
}

}  // namespace
}  // namespace archive
