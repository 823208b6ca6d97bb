// The payload archives as Info-ZIP's unzip sees them, and a write that fails part way.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/Payload.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "tests/support/HostShell_posix.h"
#include "ui/Exception.h"

namespace {

const std::string kFolder = "C:\\PayloadToolsTest";
// The password the setup window answers the component with (it keeps it reversed).
const std::string kPassword = "Qu1ll0ra#2010";

using testing_machine::Quote;
using testing_machine::Shell;
using Result = testing_machine::ShellResult;

size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

class PayloadToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(Shell("command -v unzip").code, 0)
            << "unzip is missing: tools/deps.sh installs it";
        platform::MakeFolder(kFolder);
    }
    void TearDown() override { std::filesystem::remove_all(platform::HostPath(kFolder)); }

    // The archive resource written out; its host path.
    std::string Written(const std::string& name) {
        const std::string path = kFolder + "\\" + name + ".zip";
        payload::WriteArchiveResource(name, path);
        return platform::HostPath(path);
    }
};

TEST_F(PayloadToolsTest, TheProductArchiveDecryptsWithTheProgramsPasswordAndNoOther) {
    const std::string zip = Quote(Written(payload::kProductArchive));
    const Result good = Shell("unzip -t -P " + Quote(kPassword) + " " + zip);
    EXPECT_EQ(good.code, 0) << good.output;
    EXPECT_EQ(Count(good.output, "  OK\n"), 71u) << good.output;
    EXPECT_NE(good.output.find("No errors detected"), std::string::npos) << good.output;

    const Result bad = Shell("unzip -t -P " + Quote("Quill0ra#2010") + " " + zip);
    EXPECT_NE(bad.code, 0) << bad.output;
    EXPECT_EQ(Count(bad.output, "  OK\n"), 0u) << bad.output;
}

TEST_F(PayloadToolsTest, TheServerArchiveTestsCleanAndItsServiceScriptLeavesItsMarker) {
    const std::string zip = Written(payload::kServerArchive);
    const Result test = Shell("unzip -t " + Quote(zip));
    EXPECT_EQ(test.code, 0) << test.output;
    EXPECT_EQ(Count(test.output, "  OK\n"), 44u) << test.output;

    // The demo script runs under a POSIX shell too and only writes its marker beside itself.
    const std::string tree = platform::HostPath(kFolder + "\\tree");
    const Result unpack = Shell("unzip -q " + Quote(zip) + " -d " + Quote(tree));
    ASSERT_EQ(unpack.code, 0) << unpack.output;
    const std::string bin = tree + "/Firebird-2.1.1.1/bin";
    const Result run = Shell("cd / && sh " + Quote(bin + "/install_super.bat"));
    EXPECT_EQ(run.code, 0) << run.output;
    std::ifstream marker(bin + "/install_super.done");
    const std::string text((std::istreambuf_iterator<char>(marker)),
                           std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "installed\n");
}

// A full disk stands in as a file size limit (writes past it fail).
class FullDisk {
public:
    explicit FullDisk(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        struct rlimit limited = saved_;
        limited.rlim_cur = limit;
        savedSignal_ = signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FullDisk() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, savedSignal_);
    }

private:
    struct rlimit saved_;
    void (*savedSignal_)(int);
};

std::string ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const ui::Exception& e) {
        return e.Message();
    }
    return "(no error)";
}

// The write fails part way, and no cut archive is left at the path for the component to open.
TEST_F(PayloadToolsTest, AWriteThatFailsPartWayLeavesNoFileBehind) {
    const std::string path = kFolder + "\\cacfile.zip";
    std::string error;
    {
        FullDisk full(4096);
        error = ErrorOf([&] { payload::WriteArchiveResource(payload::kProductArchive, path); });
    }
    EXPECT_EQ(error, "Cannot write file " + path);
    EXPECT_FALSE(platform::FileExists(path));
}

// Replacing a program with a new one that does not fit leaves the old one whole and nothing
// beside it; a write that fits replaces it.
TEST_F(PayloadToolsTest, AReplacementThatFailsPartWayKeepsTheOldFile) {
    const std::string path = kFolder + "\\ivoxcc.exe";
    std::ofstream(platform::HostPath(path)) << "the working program";
    const std::string big(1 << 20, 'x');
    std::string error;
    {
        FullDisk full(4096);
        error = ErrorOf([&] { payload::ReplaceWholeFile(path, big.data(), big.size()); });
    }
    EXPECT_EQ(error, "Cannot write file " + path);
    std::ifstream in(platform::HostPath(path));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "the working program");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(platform::HostPath(kFolder)), {}),
              1);

    payload::ReplaceWholeFile(path, "new", 3);
    std::ifstream again(platform::HostPath(path));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), "new");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(platform::HostPath(kFolder)), {}),
              1);
}

}  // namespace
