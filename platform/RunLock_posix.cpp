#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/Prefix_posix.h"
#include "platform/RunLock.h"

namespace platform {

RunLockResult TakeRunLock(unsigned waitMs) {
    // Kept open until the process ends, which releases the lock; never handed to programs the
    // run starts.
    static int held = -1;
    if (held >= 0) return RunLockResult::kTaken;
    const std::string path = PrefixRoot() + "/setup-ivox.lock";
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0600);
    if (fd < 0) return RunLockResult::kFailed;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            held = fd;
            return RunLockResult::kTaken;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) break;
        if (std::chrono::steady_clock::now() >= until) {
            close(fd);
            return RunLockResult::kBusy;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    close(fd);
    return RunLockResult::kFailed;
}

unsigned long CurrentProcessId() {
    return static_cast<unsigned long>(getpid());
}

}  // namespace platform
