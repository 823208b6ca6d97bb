#include "engine/EntryNames.h"

#include "platform/Text.h"

namespace engine {

namespace {

char FoldCase(char c) {
    if (c >= 'a' && c <= 'z') return static_cast<char>(c - 'a' + 'A');
    if (c == '/') return '\\';
    return c;
}

bool Match(const char* pattern, const char* name) {
    // Iterative wildcard match with one backtrack point: linear in practice, never exponential.
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*name) {
        if (*pattern == '*') {
            star = pattern++;
            resume = name;
        } else if (*pattern == '?' || (*pattern && FoldCase(*pattern) == FoldCase(*name))) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == '*') ++pattern;
    return *pattern == '\0';
}

bool IsReservedDevice(const std::string& component) {
    std::string base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    base = platform::UpperAscii(base);
    if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
        base == "CONOUT$")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

bool SafeComponent(const std::string& component) {
    for (unsigned char c : component)
        if (c < 0x20 || c == '<' || c == '>' || c == '"' || c == '|' || c == '?' || c == '*')
            return false;
    // Windows drops trailing dots and spaces, so ". ." and "..." would become "..".
    size_t end = component.size();
    while (end > 0 && (component[end - 1] == '.' || component[end - 1] == ' ')) --end;
    return end > 0 && !IsReservedDevice(component);
}

}  // namespace

std::string EntryNameToAnsi(const CentralEntry& entry, NameCodePage codePage) {
    if (entry.flags & kFlagUtf8) return platform::Utf16ToAnsi(platform::Utf8ToUtf16(entry.rawName));
    if (codePage == NameCodePage::kNone) return entry.rawName;
    const uint8_t host = entry.Host();
    const bool oemHost = host == 0 || host == 6 || host == 11 || host == 14;
    if (codePage == NameCodePage::kOem || oemHost) return platform::ConvertOemToAnsi(entry.rawName);
    return entry.rawName;
}

bool MatchesSpec(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") return true;
    return Match(pattern.c_str(), name.c_str());
}

bool SafeRelativePath(const std::string& name, std::string& path, bool& folder) {
    path.clear();
    folder = false;
    if (name.empty() || name.find('\0') != std::string::npos) return false;
    // Delimiters are found byte by byte, passing over the second byte of a double-byte
    // character, which may be the value of "\".
    std::vector<std::string> components;
    std::string current;
    bool lastWasDelimiter = false;
    for (size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (platform::IsLeadByte(c) && i + 1 < name.size()) {
            current += name[i];
            current += name[++i];
            lastWasDelimiter = false;
            continue;
        }
        if (c == ':') return false;
        if (c == '\\' || c == '/') {
            if (i == 0) return false;  // absolute, or a UNC name
            if (!current.empty()) components.push_back(current);
            current.clear();
            lastWasDelimiter = true;
            continue;
        }
        current += name[i];
        lastWasDelimiter = false;
    }
    if (!current.empty()) components.push_back(current);
    if (components.empty()) return false;
    for (const std::string& component : components) {
        if (!SafeComponent(component)) return false;
        if (!path.empty()) path += '\\';
        path += component;
    }
    folder = lastWasDelimiter;
    return true;
}

}  // namespace engine
