#include "app/ProcessControl.h"

#include <cctype>

namespace process_internal {

bool MakeKey(const std::string& name, std::string& key) {
    if (name.empty() || name.size() > kMaxName) return false;
    key = name;
    for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return true;
}

}  // namespace process_internal
