// How fast the component reads the directory of a large archive, against the zip tools of the
// host reading the same file in the same run. Prints the times and the ratios (tool / ours).
//
//   setup_bench_directory [entries]        makes the archive, times everything, prints a report
//   setup_bench_directory --read <file>    reads one directory (the timed child process)
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ZipBuilder.h"
#include "tests/fixtures/ZipWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Reads the directory of a host file through the component; returns the entries listed.
int ReadDirectory(const std::string& hostPath) {
    archive::TZipBuilder zip(nullptr, "ZipBuilder1");
    zip.Unattended = true;
    std::string windowsPath = "Z:" + hostPath;
    std::replace(windowsPath.begin(), windowsPath.end(), '/', '\\');
    zip.SetFileName(windowsPath);
    return zip.Count();
}

// Best wall time of `runs` runs of a shell command, its output discarded.
double TimeCommand(const std::string& command, int runs) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const int rc = std::system((command + " >/dev/null 2>&1").c_str());
        const double t = Seconds(Clock::now() - start);
        if (rc != 0) {
            std::fprintf(stderr, "failed: %s\n", command.c_str());
            return -1;
        }
        best = std::min(best, t);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--read") return ReadDirectory(argv[2]) > 0 ? 0 : 1;

    const int entries = argc > 1 ? std::atoi(argv[1]) : 65535;
    const int runs = 5;
    // A folder of this run's own, so runs side by side never share files.
    std::string folder = std::filesystem::temp_directory_path().string() + "/setup-bench-dir-XXXXXX";
    if (!mkdtemp(folder.data())) {
        std::fprintf(stderr, "cannot make a folder in %s\n", folder.c_str());
        return 1;
    }
    setenv("SETUP_IVOX_PREFIX", (folder + "/prefix").c_str(), 1);
    const std::string file = folder + "/large.zip";

    fixtures::ZipWriter w;
    for (int i = 0; i < entries; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "folder-%03d/entry-%05d.txt", i / 1000, i);
        w.Add(fixtures::StoredEntry(name, std::to_string(i)));
    }
    const fixtures::Archive a = w.Build();
    a.Save(file);
    std::printf("archive: %s, %d entries, %zu bytes, central directory %llu bytes\n", file.c_str(),
                entries, a.bytes.size(), static_cast<unsigned long long>(a.layout.central_size));

    // In process: the directory read alone.
    double inProcess = 1e9;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const int n = ReadDirectory(file);
        inProcess = std::min(inProcess, Seconds(Clock::now() - start));
        if (n != entries) {
            std::fprintf(stderr, "listed %d of %d entries\n", n, entries);
            return 1;
        }
    }
    // As a process, like the tools: start-up included.
    const double ours = TimeCommand("'" + std::string(argv[0]) + "' --read '" + file + "'", runs);

    struct Peer {
        const char* name;
        std::string command;
    };
    const Peer peers[] = {
        {"zipinfo", "zipinfo '" + file + "'"},
        {"bsdtar -t", "bsdtar -tf '" + file + "'"},
        {"python zipfile",
         "python3 -c \"import sys, zipfile; zipfile.ZipFile(sys.argv[1]).infolist()\" '" + file +
             "'"},
    };
    std::printf("\n%-16s %10s %10s\n", "reader", "best (s)", "ratio");
    std::printf("%-16s %10.4f %10s\n", "ours (in proc)", inProcess, "");
    std::printf("%-16s %10.4f %10s\n", "ours (process)", ours, "1.00");
    bool fastest = true;
    for (const Peer& p : peers) {
        const double t = TimeCommand(p.command, runs);
        if (t < 0) return 1;
        std::printf("%-16s %10.4f %9.2fx\n", p.name, t, t / ours);
        fastest = fastest && t > ours;
    }
    std::printf("\nratio = the tool's time / ours as a process; above 1 means ours is faster.\n");
    std::printf("%s\n", fastest ? "ours is the fastest" : "ours is NOT the fastest");
    std::filesystem::remove_all(folder);
    return 0;
}
