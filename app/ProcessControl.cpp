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

// Tells the log of each process of the product's name that runs from a file of someone else's.
void LogPassedOver(const std::string& name, const std::vector<std::string>& others) {
    for (const std::string& image : others)
        runlog::Line("Để yên tiến trình " + runlog::FromAnsi(name) + " chạy từ " +
                     runlog::FromAnsi(image));
}

}  // namespace

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

int FindRunningProcess(const std::string& name, const std::string& folder) {
    std::vector<std::string> others;
    const int result =
        process_internal::SearchProcesses(name, false, folder + "\\" + name, &others);
    LogPassedOver(name, others);
    if (result == kProcessRunning)
        runlog::Line("Tiến trình " + runlog::FromAnsi(folder + "\\" + name) + " đang chạy");
    return result;
}

int StopRunningProcess(const std::string& name, const std::string& folder) {
    std::vector<std::string> others;
    const std::string image = folder + "\\" + name;
    const int result = process_internal::SearchProcesses(name, true, image, &others);
    LogPassedOver(name, others);
    if (result == kProcessStopped)
        runlog::Line("Đã dừng tiến trình " + runlog::FromAnsi(image));
    else
        runlog::Line("Không dừng được tiến trình " + runlog::FromAnsi(image) + " (mã " +
                     std::to_string(result) + ")");
    return result;
}
