#include <dirent.h>

#include "platform/FindFiles.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"

namespace platform {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c | 0x20) : c;
}

// Whether the name matches the wildcard pattern. After a "*" fails further on, the "*" takes
// one more character and the match resumes from there; only the last "*" needs retrying, so
// the work stays proportional to the name's length times the pattern's.
bool Matches(const std::string& name, const std::string& pattern) {
    size_t n = 0, p = 0;
    size_t starP = std::string::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == '?' || Lower(pattern[p]) == Lower(name[n]))) {
            ++p, ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

}  // namespace

std::vector<std::string> FindFiles(const std::string& pattern) {
    std::vector<std::string> names;
    const std::string folder = PathFolder(pattern), wildcard = PathFileName(pattern);
    const std::string host = folder.empty() ? "." : HostPath(folder);
    DIR* dir = host.empty() || wildcard.empty() ? nullptr : opendir(host.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && Matches(name, wildcard)) names.push_back(name);
    }
    closedir(dir);
    return names;
}

}  // namespace platform
