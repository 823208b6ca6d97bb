// What the benchmarks share: content that compresses like the real files, and the peak memory
// of a child process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Bytes that compress about as well as a program: runs of code-like structure, tables and
// stretches of noise. The same seed gives the same bytes.
std::vector<uint8_t> ExecutableLike(size_t size, uint32_t seed = 1790801);

// The peak resident memory of a child that runs `args` (args[0] is the program's path), in
// bytes; -1 when it could not run or did not exit with 0. Call it while the caller is still
// small: a forked child starts with its parent's pages counted as its own.
long PeakMemory(const std::vector<std::string>& args);

// What a child used: its peak resident memory in bytes and the processor time it took (user and
// system), which on a machine shared with other work varies much less than the wall time.
struct ChildUsage {
    long peak = -1;
    double cpuSeconds = 0;
};
// Runs `args` as PeakMemory does: true and its usage when it exited with 0.
bool RunMeasured(const std::vector<std::string>& args, ChildUsage& usage);

}  // namespace bench
