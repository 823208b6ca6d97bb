// Reads the directory of arbitrary bytes as the component does with a file it is given: any
// input must end in a directory or a reported error, never a crash, a leak or undefined
// behaviour.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "archive/ZipBuilder.h"
#include "platform/FileHandle.h"

namespace {

const char* const kArchive = "C:\\fuzz.zip";

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A machine prefix of its own, so the fuzzer never touches a real one.
    std::string prefix =
        std::filesystem::temp_directory_path().string() + "/setup-ivox-fuzz-XXXXXX";
    if (!mkdtemp(prefix.data())) std::abort();
    setenv("SETUP_IVOX_PREFIX", prefix.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const platform::FileHandle h =
        platform::FileOpen(kArchive, platform::FileAccess::kWrite, platform::FileShare::kDenyNone,
                           platform::FileDisposition::kCreateAlways);
    if (h == platform::kInvalidFileHandle) std::abort();
    if (size && platform::FileWrite(h, data, size) != static_cast<int64_t>(size)) std::abort();
    platform::FileClose(h);

    archive::TZipBuilder zip(nullptr, "ZipBuilder1");
    zip.Unattended = true;
    size_t seen = 0;
    zip.SetOnMessage([&](ui::Component*, int32_t, const std::string& m) { seen += m.size(); });
    zip.SetOnNewName([&](ui::Component*, int32_t, const archive::ZipDirEntry& e) {
        seen += e.FileName.size() + e.ExtraField.size() + e.EntryComment.size();
    });
    zip.SetFileName(kArchive);
    for (int32_t i = 0; i < zip.Count(); ++i) seen += zip.DirEntry(i).FileName.size();
    seen += zip.ZipComment().size();
    return seen == SIZE_MAX ? 1 : 0;
}
