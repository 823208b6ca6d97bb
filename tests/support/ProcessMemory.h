// How much memory the test process holds right now, for tests that bound what an operation
// costs: the resident set on POSIX hosts, the working set on Windows.
#pragma once

#include <cstdint>

namespace testing_support {

uint64_t ResidentBytes();

}  // namespace testing_support
