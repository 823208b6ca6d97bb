// One run of the setup program at a time on the machine: two runs at once would each take the
// other's half-replaced files for a killed run's and put them back.
#pragma once

namespace platform {

enum class RunLockResult {
    kTaken,   // this run holds the lock until the process ends
    kBusy,    // another run still held it when the wait was over
    kFailed,  // the lock could not be made; the run goes on without it
};

// Takes the machine-wide lock of the setup program (the mutex Global\SetupIVOX on Windows, a
// lock file of the machine prefix with flock on POSIX hosts), waiting at most `waitMs`
// milliseconds for another run to end. A run that ended without releasing it (killed) leaves
// it free. The lock is held until the process ends.
RunLockResult TakeRunLock(unsigned waitMs);

// The id of this process, which the names of its temporary files carry so that no two runs
// ever pick the same one.
unsigned long CurrentProcessId();

}  // namespace platform
