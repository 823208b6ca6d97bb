// The upgrade under faults, in a throwaway machine prefix: version A of the product installed,
// then an upgrade to the payload this program carries (version B, other bytes in every product
// file), killed with SIGKILL at file system calls spread over the whole run, and once run on a
// drive too small for the new program. strace stops the upgrade at a chosen call: a first run
// under strace lists every file system call the upgrade makes, and every rename, unlink and
// mkdir among them, and enough of the others to make the number of runs, is a kill point.
//
// The upgrade is the setup program itself, run as an administrator runs it (Setup_iVOX /SILENT).
// After each kill the setup window is opened and closed again, as a user's next start opens it,
// and then:
//   - the three product files are wholly A or wholly B, all three the same version;
//   - the registry store parses, and no temporary file of ours (nor of the engine, nor the
//     extraction's probe) is left in the application folder, its server tree or the system
//     folder;
//   - an upgrade run to its end puts B everywhere.
//
//   setup_upgrade_fault_runner             the runner; ends with "faults: N passed, N failed"
//   setup_upgrade_fault_runner --start     the setup window opened and closed, nothing pressed
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "app/uUpd.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "tests/support/HostShell_posix.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace {

namespace fs = std::filesystem;
using testing_machine::Quote;
using testing_machine::Shell;

const std::string kApp = "C:\\Solvenza";
const char* const kEntries[] = {"ivoxcc.exe", "fb_gds32.dll", "voxTram.exe"};
const std::string kSuccess = "Cài đặt hoàn tất !!!";  // the success box's text, on stderr

std::string Self() {
    return fs::read_symlink("/proc/self/exe").string();
}

std::string ReadHost(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Read(const std::string& windowsPath) {
    return ReadHost(platform::HostPath(windowsPath));
}

void Write(const std::string& windowsPath, const std::string& bytes) {
    std::ofstream(platform::HostPath(windowsPath), std::ios::binary) << bytes;
}

std::string EngineFolder() {
    std::string folder = "Z:" + std::string(SETUP_ENGINE_DIR);
    for (char& c : folder)
        if (c == '/') c = '\\';
    return folder;
}

// The setup window on the headless backend, opened and closed: what a next start does first.
int OpenWindow() {
    ui::Application::Instance().Initialize(std::make_unique<ui::HeadlessBackend>());
    TuUpd* w = ui::Application::Instance().CreateForm<TuUpd>();
    w->ZipBuilder1->DLLDirectory = EngineFolder();
    ui::Application::Instance().Shutdown();
    return 0;
}

// The product files of one installation.
struct Product {
    std::string app;
    std::vector<std::string> Paths() const {
        return {app + "\\ivoxcc.exe", platform::SystemFolder32() + "\\gds32.dll",
                app + "\\voxTram.exe"};
    }
};

std::vector<std::string> VersionA() {
    std::vector<std::string> a;
    for (const char* e : kEntries) a.push_back(std::string("version A of ") + e + "\n");
    return a;
}

std::vector<std::string> VersionB() {
    std::vector<std::string> b;
    for (const char* e : kEntries)
        b.push_back(ReadHost(std::string(SETUP_PAYLOAD_CONTENT) + "/cacfile/" + e));
    return b;
}

void InstallA(const Product& p) {
    platform::MakeFolder(p.app);
    const std::vector<std::string> a = VersionA();
    for (size_t i = 0; i < a.size(); ++i) Write(p.Paths()[i], a[i]);
    platform::RegKey key;
    key.Create(platform::RegRoot::LocalMachine, TuUpd::kProductKey, TuUpd::kProductView);
    key.WriteString(TuUpd::kAppPathValue, p.app);
}

// "A", "B", or what is wrong with the product files.
std::string VersionOf(const Product& p) {
    const std::vector<std::string> paths = p.Paths(), a = VersionA(), b = VersionB();
    size_t as = 0, bs = 0;
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string bytes = Read(paths[i]);
        as += bytes == a[i];
        bs += bytes == b[i];
    }
    if (as == paths.size()) return "A";
    if (bs == paths.size()) return "B";
    return "mixed (" + std::to_string(as) + " of A, " + std::to_string(bs) + " of B)";
}

// What must never be left behind: our temporary files, the engine's, a store that does not
// parse. "" when all is well.
std::string Leftovers(const Product& p) {
    std::string found;
    for (const std::string& folder : {p.app, platform::SystemFolder32()}) {
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(platform::HostPath(folder), ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            // The extraction's probe of the application folder ("tmp" and a number, ".TMP").
            const bool probe = it.depth() == 0 && folder == p.app &&
                               std::regex_match(name, std::regex("tmp[0-9A-F]{1,4}\\.TMP"));
            if (name.find("~SetupIVOX") != std::string::npos || name.rfind("~dz", 0) == 0 || probe)
                found += " " + it->path().string();
        }
    }
    platform::RegKey key;
    if (key.Open(platform::RegRoot::LocalMachine, TuUpd::kProductKey, false, TuUpd::kProductView) ==
        platform::kRegBadStore)
        found += " (the registry store does not parse)";
    return found;
}

struct Call {
    std::string name;  // the system call
    int occurrence;    // its number among the calls of that name, from 1
};

// The file system calls the setup program itself makes in one upgrade, in order (strace counts
// the calls of each process on its own; the installers the upgrade starts are left out).
const char* const kTraced =
    "openat,creat,write,pwrite64,close,rename,renameat,renameat2,unlink,unlinkat,mkdir,mkdirat,"
    "link,linkat,fsync,fdatasync,ftruncate,chmod,fchmod,utimensat";

std::vector<Call> TraceCalls(const std::string& traceFile) {
    std::vector<Call> calls;
    std::map<std::string, int> seen;
    std::ifstream in(traceFile);
    std::string line, first;
    while (std::getline(in, line)) {
        // "1234 name(args..." ; resumed and signal lines have no "(" right after the name.
        std::istringstream words(line);
        std::string pid, rest;
        words >> pid >> rest;
        if (first.empty()) first = pid;
        const size_t paren = rest.find('(');
        if (pid != first || paren == std::string::npos || paren == 0) continue;
        const std::string name = rest.substr(0, paren);
        calls.push_back({name, ++seen[name]});
    }
    return calls;
}

// The kill points: every call that changes a folder's entries, and `wanted` others spread
// evenly over the run (opens, writes, closes of the files being written).
std::vector<size_t> KillPoints(const std::vector<Call>& calls, size_t wanted) {
    std::vector<size_t> points;
    std::vector<bool> taken(calls.size(), false);
    for (size_t i = 0; i < calls.size(); ++i) {
        const std::string& n = calls[i].name;
        if (n.find("rename") == 0 || n.find("unlink") == 0 || n.find("mkdir") == 0 ||
            n.find("link") == 0) {
            points.push_back(i);
            taken[i] = true;
        }
    }
    for (size_t k = 0; k < wanted && !calls.empty(); ++k) {
        const size_t i = (k * calls.size()) / wanted;
        if (!taken[i]) points.push_back(i), taken[i] = true;
    }
    std::sort(points.begin(), points.end());
    return points;
}

int Runner() {
    char folder[] = "/tmp/upgrade-faults.XXXXXX";
    if (!mkdtemp(folder)) return 70;
    const std::string prefix = folder;
    setenv("SETUP_IVOX_PREFIX", prefix.c_str(), 1);
    int passed = 0, failed = 0;
    const auto check = [&](bool ok, const std::string& what) {
        ok ? ++passed : ++failed;
        if (!ok) std::printf("FAILED: %s\n", what.c_str());
    };
    const std::string child = Quote(SETUP_PROGRAM) + " /SILENT";
    const std::string start = Quote(Self()) + " --start";
    const Product product{kApp};

    // The calibration run: every file system call of one whole upgrade, on the machine as every
    // run below finds it (the server tree of an earlier install in place).
    InstallA(product);
    check(Shell(child).code == 0, "the first upgrade");
    InstallA(product);
    const std::string trace = prefix + "/calls.trace";
    const auto calibration =
        Shell("strace -f -qq -o " + Quote(trace) + " -e trace=" + kTraced + " -- " + child);
    check(calibration.code == 0, "the upgrade under strace: " + calibration.output);
    check(VersionOf(product) == "B", "after the calibration run: " + VersionOf(product));
    const std::vector<Call> calls = TraceCalls(trace);
    const std::vector<size_t> points = KillPoints(calls, 40);
    std::printf("an upgrade makes %zu file system calls; %zu kill points\n", calls.size(),
                points.size());

    std::map<std::string, int> byCall, byOutcome;
    for (size_t point : points) {
        const Call& c = calls[point];
        InstallA(product);
        const auto killed =
            Shell("strace -f -qq -o /dev/null -e trace=" + c.name + " -e inject=" + c.name +
                  ":signal=KILL:when=" + std::to_string(c.occurrence) + " -- " + child);
        const std::string at = "call " + std::to_string(point + 1) + " (" + c.name + " #" +
                               std::to_string(c.occurrence) + ")";
        ++byCall[c.name];
        check(killed.code != 0, at + ": the upgrade was not stopped");
        // The next start, as a user makes it; then what is on the machine.
        check(Shell(start).code == 0, at + ": the next start failed");
        const std::string version = VersionOf(product);
        ++byOutcome[version];
        check(version == "A" || version == "B", at + ": the product files are " + version);
        const std::string left = Leftovers(product);
        check(left.empty(), at + ": left behind:" + left);
        // And a whole upgrade after it.
        const auto again = Shell(child);
        check(again.code == 0 && VersionOf(product) == "B",
              at + ": the upgrade after it: " + again.output + VersionOf(product));
    }
    std::printf("kill points by call:");
    for (const auto& [name, n] : byCall) std::printf(" %s %d", name.c_str(), n);
    std::printf("\nafter the kills the product was:");
    for (const auto& [version, n] : byOutcome) std::printf(" %s %d times", version.c_str(), n);
    std::printf("\n");

    // A full disk: drive D: of the prefix is a file system too small for the new program.
    const std::string drive = prefix + "/drive_d";
    fs::create_directories(drive);
    const bool mounted = mount("tmpfs", drive.c_str(), "tmpfs", 0, "size=48k") == 0;
    fs::create_directories(prefix + "/dosdevices");
    fs::create_symlink(drive, prefix + "/dosdevices/d:");
    const Product small{"D:\\Solvenza"};
    InstallA(small);
    std::string full;
    if (mounted) {
        full = Shell(child).output;
    } else {
        // A CI machine must run the full disk for real.
        const char* ci = std::getenv("CI");
        check(!ci || std::string(ci) != "true", "CI: the small drive could not be mounted");
        // No mounting here: every write after the first few fails with the system's disk-full
        // error, as the small drive's writes would.
        std::printf("mounting is not allowed here: the writes fail with ENOSPC instead\n");
        full =
            Shell("strace -f -qq -o /dev/null -e trace=write -e inject=write:error=ENOSPC:when=" +
                  std::to_string(1) + "+ -- " + child)
                .output;
    }
    std::printf("full disk:\n%s", full.c_str());
    check(full.find("Không ghi được tệp D:\\Solvenza\\ivoxcc.exe.") != std::string::npos ||
              !mounted,
          "the full disk's text: " + full);
    check(full.find(kSuccess) == std::string::npos, "a full disk reported success");
    check(VersionOf(small) == "A", "after the full disk the product is " + VersionOf(small));
    check(Leftovers(small).empty(), "left behind on the full disk:" + Leftovers(small));
    if (mounted) umount(drive.c_str());

    fs::remove_all(prefix);
    std::printf("faults: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "--start") return OpenWindow();
    return Runner();
}
