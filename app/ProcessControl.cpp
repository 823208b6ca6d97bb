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

namespace {

// Finds or stops the processes called `name` (those that run from `image` only, when it is
// given), and tells the run's log what it found and did, and which processes it left alone.
int SearchAndLog(const std::string& name, bool stop, const std::string& image) {
    std::vector<std::string> others;
    const int result = process_internal::SearchProcesses(name, stop, image, &others);
    for (const std::string& other : others)
        runlog::Line("Để yên tiến trình " + runlog::FromAnsi(name) + " chạy từ " +
                     runlog::FromAnsi(other));
    const std::string shown = runlog::FromAnsi(image.empty() ? name : image);
    if (!stop) {
        if (result == kProcessRunning) runlog::Line("Tiến trình " + shown + " đang chạy");
    } else if (result == kProcessStopped) {
        runlog::Line("Đã dừng tiến trình " + shown);
    } else {
        runlog::Line("Không dừng được tiến trình " + shown + " (mã " + std::to_string(result) + ")");
    }
    return result;
}

}  // namespace

int FindRunningProcess(const std::string& name) {
    return SearchAndLog(name, false, "");
}

int StopRunningProcess(const std::string& name) {
    return SearchAndLog(name, true, "");
}

int FindRunningProcess(const std::string& name, const std::string& folder) {
    return SearchAndLog(name, false, folder + "\\" + name);
}

int StopRunningProcess(const std::string& name, const std::string& folder) {
    return SearchAndLog(name, true, folder + "\\" + name);
}
