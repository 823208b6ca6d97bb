// One whole install as the user runs it: the setup window's action button (bt_NangCap) clicked
// on a machine without the product, with the payload this program carries (bench/run.sh builds
// it with archives of a realistic size), the engine it carries, the headless window toolkit and
// a throwaway machine prefix for every run. It reports
//   1. the time from the click to the success box;
//   2. the peak memory of a process that runs exactly one install;
//   3. the share of (1) the component spends extracting: each operation from the engine's
//      announcement of its entries (ptTotalItems) to the end of its batch (ptBatchEnd), as the
//      component's OnProgress event reports them. What comes before the announcement (the
//      engine opening the archive and reading its directory) counts as outside.
//
//   setup_bench_install [runs]         the report; every run is a child process (5 by default)
//   setup_bench_install --once <file>  one install in the prefix SETUP_IVOX_PREFIX names; the
//                                      times go to <file>, the program's own output beside it
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/uUpd.h"
#include "bench/BenchSupport.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/Text.h"
#include "ui/Application.h"
#include "ui/HeadlessBackend.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const char* const kApp = "C:\\Solvenza";
const char* const kSuccess = "Cài đặt hoàn tất !!!";

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double MB(double bytes) {
    return bytes / 1048576.0;
}

// One extraction the component ran, in seconds from the click.
struct Batch {
    double start = 0, end = 0;
    int64_t entries = 0, bytes = 0;
    std::string first;  // the first entry it took out
};

struct Run {
    double clickToBox = -1;
    std::vector<Batch> batches;
    long peak = -1;
    double cpu = 0;  // processor time of the whole child

    double Extracting() const {
        double sum = 0;
        for (const Batch& b : batches) sum += b.end - b.start;
        return sum;
    }
};

// The child: one install, its times written to `resultFile`.
int InstallOnce(const std::string& resultFile) {
    // The program talks on its standard output (the firewall's diagnostics); that goes to a log
    // beside the result, shown only when the install fails.
    const std::string log = resultFile + ".log";
    if (!std::freopen(log.c_str(), "w", stdout)) return 1;
    std::fflush(stderr);
    dup2(fileno(stdout), fileno(stderr));

    // The install needs the application folder to exist: it never creates it.
    if (!platform::MakeFolder(kApp)) {
        std::fprintf(stderr, "cannot make %s\n", kApp);
        return 1;
    }
    auto owned = std::make_unique<ui::HeadlessBackend>();
    ui::HeadlessBackend* backend = owned.get();
    ui::Application& app = ui::Application::Instance();
    app.Initialize(std::move(owned));
    // The window's description has the component take the engine the program carries.
    TuUpd* w = app.CreateForm<TuUpd>();

    Run run;
    Clock::time_point click;
    auto now = [&] { return Seconds(Clock::now() - click); };
    bool inBatch = false;
    w->ZipBuilder1->SetOnProgress(
        [&](ui::Component*, archive::ProgressType kind, const std::string& name, int64_t size) {
            switch (kind) {
                case archive::ptTotalItems:
                    run.batches.push_back(Batch{now(), 0, size, 0, ""});
                    inBatch = true;
                    break;
                case archive::ptTotalSize:
                    if (inBatch) run.batches.back().bytes = size;
                    break;
                case archive::ptItemStart:
                    if (inBatch && run.batches.back().first.empty())
                        run.batches.back().first = name;
                    break;
                case archive::ptBatchEnd:
                    if (inBatch) run.batches.back().end = now();
                    inBatch = false;
                    break;
                default:
                    break;
            }
        });
    backend->responder = [&](const ui::MessageBoxRecord&) {
        if (run.clickToBox < 0) run.clickToBox = now();
        return ui::kIdOk;
    };

    click = Clock::now();
    w->bt_NangCap->Click();  // the window closes itself after the success box

    const bool succeeded =
        backend->boxes.size() == 1 && backend->boxes[0].text == platform::Utf8ToUtf16(kSuccess);
    if (!succeeded) {
        for (const ui::MessageBoxRecord& box : backend->boxes)
            std::fprintf(stderr, "box: %s\n", platform::Utf16ToUtf8(box.text).c_str());
    }
    app.Shutdown();

    // The server's install script runs on its own; the prefix goes only once it has finished.
    const std::string marker = std::string(kApp) + "\\Firebird-2.1.1.1\\bin\\install_super.done";
    for (int i = 0; i < 200 && succeeded && !platform::FileExists(marker); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    std::ofstream out(resultFile);
    out << "click_to_box " << run.clickToBox << "\n";
    for (const Batch& b : run.batches)
        out << "batch " << b.start << " " << b.end << " " << b.entries << " " << b.bytes << " "
            << b.first << "\n";
    return succeeded && out.flush() ? 0 : 1;
}

bool ReadRun(const std::string& file, Run& run) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        if (key == "click_to_box") fields >> run.clickToBox;
        if (key == "batch") {
            Batch b;
            fields >> b.start >> b.end >> b.entries >> b.bytes;
            std::getline(fields >> std::ws, b.first);
            run.batches.push_back(b);
        }
    }
    return run.clickToBox >= 0;
}

// One child process, one install, in a prefix of its own.
bool RunChild(const std::string& self, Run& run) {
    std::string prefix = fs::temp_directory_path().string() + "/setup-bench-install-XXXXXX";
    if (!mkdtemp(prefix.data())) return false;
    setenv("SETUP_IVOX_PREFIX", prefix.c_str(), 1);
    const std::string result = prefix + "/bench-result.txt";
    bench::ChildUsage usage;
    const bool ran = bench::RunMeasured({self, "--once", result}, usage);
    run.peak = usage.peak;
    run.cpu = usage.cpuSeconds;
    const bool ok = ran && ReadRun(result, run);
    if (!ok) {
        std::ifstream log(result + ".log");
        std::fprintf(stderr, "the install failed:\n%s\n",
                     std::string(std::istreambuf_iterator<char>(log), {}).c_str());
    }
    std::error_code ec;
    fs::remove_all(prefix, ec);
    return ok;
}

size_t ResourceSize(const char* name) {
    platform::ResourceBytes r;
    return platform::FindOwnResource("zip", name, r) ? r.size : 0;
}

std::string BatchName(const Batch& b) {
    return b.entries == 1 ? b.first
                          : std::to_string(b.entries) + " entries under " +
                                b.first.substr(0, b.first.find_first_of("\\/") + 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--once") return InstallOnce(argv[2]);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const std::string self = fs::read_symlink("/proc/self/exe").string();

    std::printf(
        "payload: product archive %zu bytes (%.1f MB), server archive %zu bytes (%.1f MB)\n",
        ResourceSize("cacfile"), MB(ResourceSize("cacfile")), ResourceSize("firebird"),
        MB(ResourceSize("firebird")));
    std::vector<Run> all;
    std::printf("  %-4s %12s %12s %8s %10s %10s\n", "run", "click->box", "extracting", "share",
                "peak", "cpu");
    for (int i = 0; i < runs; ++i) {
        Run run;
        if (!RunChild(self, run)) return 1;
        std::printf("  %-4d %10.3f s %10.3f s %6.1f %% %7.1f MB %8.3f s\n", i + 1,
                    run.clickToBox, run.Extracting(), 100 * run.Extracting() / run.clickToBox,
                    MB(run.peak), run.cpu);
        all.push_back(run);
    }

    std::sort(all.begin(), all.end(),
              [](const Run& a, const Run& b) { return a.clickToBox < b.clickToBox; });
    const Run& median = all[all.size() / 2];
    long peak = 0;
    for (const Run& r : all) peak = std::max(peak, r.peak);
    int64_t largest = 0;  // of the entries taken out to memory, one at a time
    for (const Batch& b : median.batches)
        if (b.entries == 1) largest = std::max(largest, b.bytes);
    std::printf("time from the click to the success box: best %.3f s, median %.3f s\n",
                all.front().clickToBox, median.clickToBox);
    std::vector<double> cpu;
    for (const Run& r : all) cpu.push_back(r.cpu);
    std::sort(cpu.begin(), cpu.end());
    std::printf("processor time of one install (the whole process): median %.3f s\n",
                cpu[cpu.size() / 2]);
    std::printf(
        "peak memory of one install: %.1f MB (the most of the %d runs); the program carries\n"
        "  %.1f MB of archives, the largest entry it takes out to memory is %.1f MB\n",
        MB(peak), runs, MB(ResourceSize("cacfile") + ResourceSize("firebird")),
        MB(static_cast<double>(largest)));
    std::printf("share of the time spent extracting (median run): %.3f s of %.3f s = %.1f %%\n",
                median.Extracting(), median.clickToBox,
                100 * median.Extracting() / median.clickToBox);
    std::printf("  %-36s %10s %10s %12s\n", "extraction", "from", "taking", "bytes");
    for (const Batch& b : median.batches)
        std::printf("  %-36s %8.3f s %8.3f s %12lld\n", BatchName(b).c_str(), b.start,
                    b.end - b.start, static_cast<long long>(b.bytes));
    std::printf(
        "  outside extraction: %.3f s (copying the archives out of the program, reading\n"
        "  their directories, writing the files, shortcuts, registry, installers)\n",
        median.clickToBox - median.Extracting());
    return 0;
}
