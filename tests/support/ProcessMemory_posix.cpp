#include <unistd.h>

#include <fstream>

#include "tests/support/ProcessMemory.h"

namespace testing_support {

uint64_t ResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    uint64_t size = 0, resident = 0;
    statm >> size >> resident;
    return resident * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace testing_support
