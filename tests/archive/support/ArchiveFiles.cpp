#include "tests/archive/support/ArchiveFiles.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Paths.h"

namespace testing_archives {

std::string FreshFolder(const std::string& name) {
    static std::atomic<int> next{0};
    const std::string folder = platform::TempFolder() + name + std::to_string(++next);
    std::error_code ec;
    std::filesystem::remove_all(platform::HostPath(folder), ec);
    std::filesystem::create_directories(platform::HostPath(folder));
    return folder;
}

std::string SaveArchive(const fixtures::Archive& archive, const std::string& folder,
                        const std::string& name) {
    const std::string path = folder + "\\" + name;
    archive.Save(platform::HostPath(path));
    return path;
}

std::string SmallArchive(const std::string& folder) {
    fixtures::ZipWriter w;
    w.Add(fixtures::StoredEntry("readme.txt", "hello world"));
    w.Add(fixtures::StoredEntry("docs/guide.txt", "guide"));
    return SaveArchive(w.Build(), folder, "small.zip");
}

std::vector<unsigned char> ReadBytes(const std::string& path) {
    std::ifstream in(platform::HostPath(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace testing_archives
