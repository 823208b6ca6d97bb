#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/support/ChildProcess.h"

namespace fs = std::filesystem;

namespace testing_machine {

namespace {

// One pass, deepest entries first; a link is removed, never followed.
void RemoveOnce(const fs::path& path) {
    std::error_code ec;
    if (fs::symlink_status(path, ec).type() == fs::file_type::directory) {
        std::vector<fs::path> entries;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end && entries.size() < 10000;
             it.increment(ec))
            entries.push_back(it->path());
        for (const fs::path& entry : entries) RemoveOnce(entry);
    }
    fs::remove(path, ec);
}

}  // namespace

bool RemoveFolderWhenFree(const std::string& windowsPath) {
    const fs::path host = platform::HostPath(windowsPath);
    for (int i = 0; i < 100; ++i) {
        RemoveOnce(host);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(host, ec))) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}

bool WaitForLaunchedScript(const std::string& bin) {
    const std::string script = bin + "install_super.bat";
    for (int i = 0; i < 200 && platform::FileExists(script); ++i) {
        if (platform::FileExists(bin + "install_super.done")) {
            // Closed by everyone else once an open that shares nothing succeeds.
            const platform::FileHandle f = platform::FileOpen(
                script, platform::FileAccess::kReadWrite, platform::FileShare::kDenyReadWrite,
                platform::FileDisposition::kOpenExisting);
            if (f != platform::kInvalidFileHandle) {
                platform::FileClose(f);
                return true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return !platform::FileExists(script);
}

}  // namespace testing_machine
