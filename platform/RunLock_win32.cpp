#include <windows.h>

#include "platform/RunLock.h"

namespace platform {

RunLockResult TakeRunLock(unsigned waitMs) {
    // Kept open (and owned) until the process ends, which releases it.
    static HANDLE mutex = nullptr;
    if (mutex) return RunLockResult::kTaken;
    HANDLE m = CreateMutexW(nullptr, FALSE, L"Global\\SetupIVOX");
    if (!m) return RunLockResult::kFailed;
    switch (WaitForSingleObject(m, waitMs)) {
        case WAIT_OBJECT_0:
        case WAIT_ABANDONED:  // a run that was killed; its leftovers are recovered next
            mutex = m;
            return RunLockResult::kTaken;
        case WAIT_TIMEOUT:
            CloseHandle(m);
            return RunLockResult::kBusy;
        default:
            CloseHandle(m);
            return RunLockResult::kFailed;
    }
}

unsigned long CurrentProcessId() {
    return GetCurrentProcessId();
}

}  // namespace platform
