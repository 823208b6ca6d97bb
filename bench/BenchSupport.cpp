#include "bench/BenchSupport.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

namespace bench {

std::vector<uint8_t> ExecutableLike(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out;
    out.reserve(size);
    out.push_back('M');
    out.push_back('Z');
    while (out.size() < size) {
        const uint32_t kind = random() % 4;
        const size_t run = 64 + random() % 960;
        for (size_t i = 0; i < run && out.size() < size; ++i) {
            switch (kind) {
                case 0:
                    out.push_back(static_cast<uint8_t>(random()));
                    break;
                case 1:
                    out.push_back(static_cast<uint8_t>(i % 7 == 0 ? random() % 16 : 0x90));
                    break;
                case 2:
                    out.push_back(static_cast<uint8_t>("\x55\x8B\xEC\x83\xEC\x10\x53\x56"[i % 8]));
                    break;
                default:
                    out.push_back(static_cast<uint8_t>((i * 13) ^ (random() % 4)));
                    break;
            }
        }
    }
    return out;
}

bool RunMeasured(const std::vector<std::string>& args, ChildUsage& out) {
    const pid_t child = fork();
    if (child == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    out.peak = usage.ru_maxrss * 1024L;
    out.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long PeakMemory(const std::vector<std::string>& args) {
    ChildUsage usage;
    return RunMeasured(args, usage) ? usage.peak : -1;
}

}  // namespace bench
