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
// Besides: the recovering start killed too; recovery while a new file is held; planted journals;
// the flush order of a whole upgrade; power cuts (a preload shim); two upgrades at once.
//
//   setup_upgrade_fault_runner             the runner; ends with "faults: N passed, N failed"
//   setup_upgrade_fault_runner --start     the setup window opened and closed, nothing pressed
//   setup_upgrade_fault_runner --cut N [F] the set replaced up to file N, then killed; with F,
//                                          the new ivoxcc.exe is the host file F
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/Payload.h"
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

// A set replacement of version B (or, for ivoxcc.exe, the bytes of the host file `program`)
// killed just before its file `at` is replaced: the journal is in place and files 0..at-1 are new.
int CutReplacement(size_t at, const std::string& program) {
    const Product p{kApp};
    std::vector<std::string> b = VersionB();
    if (!program.empty()) b[0] = ReadHost(program);
    std::vector<payload::FileToPlace> files;
    for (size_t i = 0; i < b.size(); ++i) files.push_back({p.Paths()[i], b[i]});
    payload::ReplaceFileSet(files, p.app, [at](size_t i) {
        if (i == at) raise(SIGKILL);
    });
    return 0;
}

// The journal as the program writes it: header, lines, and the length and CRC-32 of both.
std::string GenuineJournal(const std::vector<std::string>& lines) {
    std::string text = "~SetupIVOX journal 2\n";
    for (const std::string& l : lines) text += l + "\n";
    char end[64];
    std::snprintf(end, sizeof end, "end %zu %08lx\n", text.size(),
                  crc32(crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(text.data()),
                        static_cast<uInt>(text.size())));
    return text + end;
}

// The order of one upgrade, from the power cut shim's log ("call path [path]"): every rename
// of a new file of ours (the three product files, the journal) comes after a flush of that file,
// and so does every rename of the engine's temporary file over one of the `existing` files (the
// server tree as the upgrade found it); the application folder is flushed after the last
// replacement and before the journal goes. "" when it holds.
std::string FlushOrderProblems(const std::string& log, const std::string& appHost,
                               const std::set<std::string>& existing) {
    std::istringstream in(log);
    std::string call, from, to, problems;
    std::set<std::string> flushed;
    bool replaced = false, folderFlushedSince = false;
    int renames = 0, treeReplacements = 0;
    while (in >> call >> from) {
        if (call == "rename" || call == "link") in >> to;
        if (call == "fsync" || call == "fdatasync") {
            flushed.insert(from);
            if (from == appHost && replaced) folderFlushedSince = true;
        } else if (call == "rename" && existing.count(to) &&
                   fs::path(from).filename().string().rfind("~dz", 0) == 0) {
            ++treeReplacements;
            if (!flushed.count(from)) problems += " replaced before its flush: " + to;
        } else if (call == "rename" && from.find("~SetupIVOX.") != std::string::npos) {
            ++renames;
            if (!flushed.count(from)) problems += " renamed before its flush: " + from;
            if (to.find("~SetupIVOX.journal") == std::string::npos) {
                replaced = true;
                folderFlushedSince = false;
            }
        } else if (call == "unlink" && from == appHost + "/~SetupIVOX.journal" &&
                   !folderFlushedSince) {
            problems += " the journal went before the folder was flushed";
        }
    }
    if (renames < 4) problems += " only " + std::to_string(renames) + " renames of ours";
    if (treeReplacements == 0) problems += " no server tree file replaced";
    return problems;
}

// A run of `command` killed at the `occurrence`th call `name`.
testing_machine::ShellResult KilledAt(const std::string& name, size_t occurrence,
                                      const std::string& command) {
    return Shell("strace -f -qq -o /dev/null -e trace=" + name + " -e inject=" + name +
                 ":signal=KILL:when=" + std::to_string(occurrence) + " -- " + command);
}

void PrintOutcomes(const char* after, const std::map<std::string, int>& outcomes) {
    std::printf("after %s the product was:", after);
    for (const auto& [version, n] : outcomes) std::printf(" %s %d times", version.c_str(), n);
    std::printf("\n");
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
    // The next start, as a user makes it; then the product files must be whole A (or B).
    const auto nextStart = [&](const std::string& at, bool bToo) {
        check(Shell(start).code == 0, at + ": the next start failed");
        const std::string version = VersionOf(product);
        check(version == "A" || (bToo && version == "B"),
              at + ": the product files are " + version);
        check(Leftovers(product).empty(), at + ": left behind:" + Leftovers(product));
        return version;
    };

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
        const auto killed = KilledAt(c.name, c.occurrence, child);
        const std::string at = "call " + std::to_string(point + 1) + " (" + c.name + " #" +
                               std::to_string(c.occurrence) + ")";
        ++byCall[c.name];
        check(killed.code != 0, at + ": the upgrade was not stopped");
        ++byOutcome[nextStart(at, true)];
        // And a whole upgrade after it.
        const auto again = Shell(child);
        check(again.code == 0 && VersionOf(product) == "B",
              at + ": the upgrade after it: " + again.output + VersionOf(product));
    }
    std::printf("kill points by call:");
    for (const auto& [name, n] : byCall) std::printf(" %s %d", name.c_str(), n);
    std::printf("\n");
    PrintOutcomes("the kills", byOutcome);

    // The start that recovers, killed at each of its renames and unlinks, then one more start.
    const std::string cut = Quote(Self()) + " --cut 2";
    InstallA(product);
    Shell(cut);
    const std::string recoveryTrace = prefix + "/recovery.trace";
    Shell("strace -f -qq -o " + Quote(recoveryTrace) + " -e trace=" + kTraced + " -- " + start);
    check(VersionOf(product) == "A", "a recovery after a cut set: " + VersionOf(product));
    int recoveryKills = 0;
    const std::vector<Call> recoveryCalls = TraceCalls(recoveryTrace);
    for (const Call& c : recoveryCalls) {
        if (c.name.find("rename") != 0 && c.name.find("unlink") != 0 && c.name.find("link") != 0)
            continue;
        InstallA(product);
        Shell(cut);
        KilledAt(c.name, c.occurrence, start);
        ++recoveryKills;
        nextStart("recovery killed at " + c.name + " #" + std::to_string(c.occurrence), false);
    }
    std::printf("recovery kill points: %d\n", recoveryKills);

    // Recovery while a program runs from the new ivoxcc.exe: the journal and the copies stay, an
    // upgrade then ends with 3 without touching the set, and once the program ends the next
    // start puts A back.
    {
        InstallA(product);
        Shell(Quote(Self()) + " --cut 1 " + Quote(SETUP_IDLE_PROGRAM));
        const std::string exe = platform::HostPath(kApp + "\\ivoxcc.exe");
        Shell("chmod +x " + Quote(exe));
        const pid_t idle =
            std::atoi(Shell(Quote(exe) + " >/dev/null 2>&1 & echo $!").output.c_str());
        const std::string journal = platform::HostPath(kApp + "\\~SetupIVOX.journal");
        check(Shell(start).code == 0 && fs::exists(journal), "held: the journal went");
        const auto held = Shell(child);
        check(held.code == 3 && held.output.find("Không hoàn tác được") != std::string::npos,
              "held: the upgrade over the cut set: " + std::to_string(held.code) + held.output);
        check(fs::exists(journal) && Read(kApp + "\\ivoxcc.exe") == ReadHost(SETUP_IDLE_PROGRAM) &&
                  Read(product.Paths()[2]) == VersionA()[2],
              "held: the set was touched while its file was held");
        kill(idle, SIGKILL);
        Shell("sleep 0.2");
        nextStart("held, then free", false);
    }

    // Journals a user planted: nothing named in them moves or goes, each is logged, and the
    // upgrade goes on.
    {
        const std::string app = kApp + "\\";
        const std::string sys = platform::SystemFolder32() + "\\";
        const std::string ours = app + "~SetupIVOX.ivoxcc.exe.1.new";
        const std::map<std::string, std::string> users = {
            {ours, "the user's program"},
            {app + "attacker.exe", "the user's program"},
            {"C:\\Other\\~SetupIVOX.ivoxcc.exe.1.new", "the user's program"},
            {"C:\\Other\\ivoxcc.exe", "the user's file"}};
        const std::pair<const char*, std::string> planted[] = {
            {"a system file", GenuineJournal({"C:\\windows\\system32\\evil.dll\t" + ours + "\t"})},
            {"a file outside the folder",
             GenuineJournal({"C:\\Other\\ivoxcc.exe\tC:\\Other\\~SetupIVOX.ivoxcc.exe.1.new\t"})},
            {"a half-written journal", GenuineJournal({app + "ivoxcc.exe\t" + ours + "\t" + app +
                                                       "~SetupIVOX.ivoxcc.exe.1.old"})
                                           .substr(0, 60)},
            {"foreign temporary names",
             GenuineJournal({app + "ivoxcc.exe\t" + app + "attacker.exe\t" + sys + "gds32.dll"})},
            {"a delete of a product file",
             GenuineJournal({app + "voxTram.exe\t" + app + "~SetupIVOX.voxTram.exe.zz.new\t"})},
        };
        for (const auto& [what, text] : planted) {
            InstallA(product);
            platform::MakeFolder("C:\\Other");
            for (const auto& [path, bytes] : users) Write(path, bytes);
            Write(app + "~SetupIVOX.journal", text);
            const std::string log = prefix + "/planted.log";
            fs::remove(log);
            const auto run = Shell(Quote(SETUP_PROGRAM) + " /SILENT /LOG=" + Quote("Z:" + log));
            const std::string at = std::string("planted, ") + what + ": ";
            check(!platform::FileExists("C:\\windows\\system32\\evil.dll"), at + "evil.dll");
            for (const auto& [path, bytes] : users)
                check(Read(path) == bytes, at + "moved or deleted: " + path);
            check(ReadHost(log).find("Bỏ qua nhật ký nâng cấp") != std::string::npos,
                  at + "not logged: " + ReadHost(log));
            check(run.code == 0 && VersionOf(product) == "B", at + "the upgrade: " + run.output);
            for (const std::string& f : {ours, app + "attacker.exe"}) platform::RemoveFile(f);
            fs::remove_all(platform::HostPath("C:\\Other"));
        }
    }

    // A power cut at 20 points spread over the set replacement: what was not flushed is cut off
    // or zeroed and the program killed; after the next start the set is whole A or whole B.
    {
        const std::string shim = "LD_PRELOAD=" + Quote(SETUP_POWERCUT_SHIM) + " ";
        const std::string log = prefix + "/powercut.log";
        InstallA(product);
        std::set<std::string> tree;  // the server tree that earlier upgrades left
        std::error_code ec;
        for (const auto& e : fs::recursive_directory_iterator(platform::HostPath(kApp), ec))
            if (e.is_regular_file()) tree.insert(e.path().string());
        Shell(shim + "POWERCUT_AT=0 POWERCUT_LOG=" + Quote(log) + " " + child);
        const std::string order = FlushOrderProblems(ReadHost(log), platform::HostPath(kApp), tree);
        check(order.empty(), "the flush order of a whole upgrade:" + order);
        std::vector<size_t> ours;
        std::istringstream lines(ReadHost(log));
        std::string line;
        for (size_t n = 1; std::getline(lines, line); ++n)
            if (line.find("~SetupIVOX") != std::string::npos) ours.push_back(n);
        check(ours.size() >= 20, "the power cut's calibration found " +
                                     std::to_string(ours.size()) + " calls on our files");
        std::map<std::string, int> outcomes;
        for (size_t k = 0; k < 20 && !ours.empty(); ++k) {
            const size_t at = ours[(k * ours.size()) / 20];
            InstallA(product);
            const auto cut = Shell(shim + "POWERCUT_AT=" + std::to_string(at) + " " + child);
            const std::string where = "power cut at call " + std::to_string(at);
            check(cut.code != 0, where + ": the upgrade was not cut");
            ++outcomes[nextStart(where, true)];
        }
        PrintOutcomes("the power cuts", outcomes);
    }

    // Pairs of upgrades started together: one success and one 1618, or two successes one after
    // the other; the set whole and nothing of ours left.
    {
        int busy = 0;
        for (int pair = 0; pair < 20; ++pair) {
            InstallA(product);
            const std::string quiet = child + " >/dev/null 2>&1; echo $?";
            std::istringstream codes(Shell("(" + quiet + ") & (" + quiet + ") & wait").output);
            int one = -1, two = -1;
            codes >> one >> two;
            const bool fine = (one == 0 && (two == 0 || two == 1618)) || (two == 0 && one == 1618);
            busy += one == 1618 || two == 1618;
            check(fine && VersionOf(product) == "B" && Leftovers(product).empty(),
                  "pair " + std::to_string(pair) + ": " + std::to_string(one) + " and " +
                      std::to_string(two) + ", " + VersionOf(product) + Leftovers(product));
        }
        std::printf("twenty pairs started together: %d ended with 1618\n", busy);
    }

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
    if (mode == "--cut" && argc > 2)
        return CutReplacement(std::strtoul(argv[2], nullptr, 10), argc > 3 ? argv[3] : "");
    return Runner();
}
