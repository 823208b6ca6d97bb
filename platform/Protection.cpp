#include "platform/Protection.h"

#include <mutex>
#include <vector>

#include "platform/Files.h"
#include "platform/FindFiles.h"

namespace platform {

namespace {

std::function<void(const std::string&, const std::string&)>& Observer() {
    static std::function<void(const std::string&, const std::string&)> observer;
    return observer;
}

}  // namespace

std::string ProtectedSddl() {
    // 0x1200a9: read, read attributes and extended attributes, execute, synchronize.
    return "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
}

std::string PrivateSddl() {
    return "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
}

void SetProtectionObserver(
    std::function<void(const std::string& path, const std::string& sddl)> observer) {
    Observer() = std::move(observer);
}

void ReportProtected(const std::string& path) {
    // The setup writes its uninstaller copy on a thread of its own: the observer hears one
    // path at a time.
    static std::mutex one;
    const std::lock_guard<std::mutex> lock(one);
    if (Observer()) Observer()(path, ProtectedSddl());
}

bool ProtectTree(const std::string& folder, std::string& failed) {
    // Top down: a folder is closed to users before what it holds is looked at, so nothing in it
    // can be swapped for a link behind the walk. Links are never entered, so a loop cannot hold
    // the walk up.
    std::vector<std::string> pending = {folder};
    while (!pending.empty()) {
        const std::string dir = pending.back();
        pending.pop_back();
        if (!ProtectFile(dir)) {
            failed = dir;
            return false;
        }
        for (const std::string& name : FindFiles(dir + "\\*")) {
            const std::string path = dir + "\\" + name;
            FileAttributes a;
            if (!ReadFileAttributes(path, a) || a.link) {
                failed = path;
                return false;
            }
            if (a.directory) {
                pending.push_back(path);
            } else if (!ProtectFile(path)) {
                failed = path;
                return false;
            }
        }
    }
    return true;
}

}  // namespace platform
