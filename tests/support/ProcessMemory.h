// How much memory the test process holds right now, for tests that bound what an operation
// costs: the resident set on POSIX hosts, the working set on Windows.
#pragma once

#include <cstdint>

namespace testing_support {

uint64_t ResidentBytes();
// The most the process has held so far (VmHWM on POSIX hosts, the peak working set on Windows).
uint64_t PeakResidentBytes();

}  // namespace testing_support
