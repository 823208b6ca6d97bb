#include "app/ProcessControl.h"

#include <cctype>

#include "app/RunLog.h"

namespace process_internal {

bool MakeKey(const std::string& name, std::string& key) {
    if (name.empty() || name.size() > kMaxName) return false;
    key = name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return true;
}

}  // namespace process_internal

// The finder and the terminator tell the run's log what they found and did.
int FindRunningProcess(const std::string& name) {
    const int result = process_internal::SearchProcesses(name, false);
    if (result == kProcessRunning)
        runlog::Line("Tiến trình " + runlog::FromAnsi(name) + " đang chạy");
    return result;
}

int StopRunningProcess(const std::string& name) {
    const int result = process_internal::SearchProcesses(name, true);
    if (result == kProcessStopped)
        runlog::Line("Đã dừng tiến trình " + runlog::FromAnsi(name));
    else
        runlog::Line("Không dừng được tiến trình " + runlog::FromAnsi(name) + " (mã " +
                     std::to_string(result) + ")");
    return result;
}
