#include <windows.h>
// psapi.h after windows.h; with PSAPI_VERSION 2 the call is kernel32's K32 form.
#include <psapi.h>

#include "tests/support/ProcessMemory.h"

namespace testing_support {

uint64_t ResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

uint64_t PeakResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.PeakWorkingSetSize;
}

}  // namespace testing_support
