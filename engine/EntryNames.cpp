#include "engine/EntryNames.h"

#include "platform/Text.h"

namespace engine {

namespace {

constexpr uint16_t kUtf8Flag = 0x0800;

// The name as compared: UTF-16, upper case under the user's locale, "/" taken for "\\".
std::u16string Folded(const std::string& ansi) {
    std::u16string w = platform::AnsiToUtf16(ansi);
    for (char16_t& c : w)
        if (c == u'/') c = u'\\';
    return platform::UpperLocale(std::move(w));
}

bool Match(const char16_t* pattern, const char16_t* name) {
    // Iterative wildcard match with one backtrack point: linear in practice, never exponential.
    const char16_t* star = nullptr;
    const char16_t* resume = nullptr;
    while (*name) {
        if (*pattern == u'*') {
            star = pattern++;
            resume = name;
        } else if ((*pattern == u'?' && *name != u'\\') || (*pattern && *pattern == *name)) {
            ++pattern;
            ++name;
        } else if (star) {
            pattern = star + 1;
            name = ++resume;
        } else {
            return false;
        }
    }
    while (*pattern == u'*') ++pattern;
    return *pattern == u'\0';
}

bool IsReservedDevice(const std::u16string& component) {
    std::u16string base = component.substr(0, component.find(u'.'));
    while (!base.empty() && base.back() == u' ') base.pop_back();
    for (char16_t& c : base)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    if (base == u"CON" || base == u"PRN" || base == u"AUX" || base == u"NUL" || base == u"CONIN$" ||
        base == u"CONOUT$")
        return true;
    return base.size() == 4 &&
           (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
           base[3] >= u'1' && base[3] <= u'9';
}

bool ValidComponent(const std::u16string& component) {
    for (char16_t c : component)
        if (c < 0x20 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' ||
            c == u'*' || c == u':')
            return false;
    return !IsReservedDevice(component);
}

// Windows drops trailing dots and spaces, so ". ." and "..." would become "..".
bool OnlyDotsAndSpaces(const std::u16string& component) {
    return component.find_first_not_of(u". ") == std::u16string::npos;
}

}  // namespace

EntryName ReadEntryName(const std::string& stored, uint16_t flags, uint16_t versionMadeBy,
                        NameCodePage codePage) {
    EntryName name;
    if (codePage != NameCodePage::kNone && (flags & kUtf8Flag) &&
        platform::TryUtf8ToUtf16(stored, name.wide)) {
        name.ansi = platform::Utf16ToAnsiExact(name.wide);
        return name;
    }
    const uint8_t host = static_cast<uint8_t>(versionMadeBy >> 8);
    const uint8_t version = static_cast<uint8_t>(versionMadeBy);
    const bool fromOem = codePage == NameCodePage::kOem ||
                         (codePage == NameCodePage::kAuto &&
                          (host == 0 || host == 6 || (host == 11 && version == 50)));
    if (!fromOem) {
        name.ansi = stored;
        name.wide = platform::AnsiToUtf16(stored);
        return name;
    }
    name.wide = platform::OemToUtf16(stored.substr(0, stored.find('\0')));
    name.ansi = platform::Utf16ToAnsiExact(name.wide);
    return name;
}

bool SameEntryName(const std::string& request, const std::string& name) {
    return Folded(request) == Folded(name);
}

bool MatchesSpec(const std::string& pattern, const std::string& name) {
    if (pattern == "*.*") return true;
    return Match(Folded(pattern).c_str(), Folded(name).c_str());
}

PathVerdict SafeRelativePath(const std::u16string& name, std::u16string& path, bool& folder) {
    path.clear();
    folder = false;
    if (name.empty() || name.find(u'\0') != std::u16string::npos) return PathVerdict::kInvalidName;
    // A leading delimiter is an absolute or UNC name, a letter and ":" a drive.
    if (name[0] == u'\\' || name[0] == u'/') return PathVerdict::kOutside;
    if (name.size() >= 2 && name[1] == u':') return PathVerdict::kOutside;
    std::vector<std::u16string> components;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i < name.size() && name[i] != u'\\' && name[i] != u'/') continue;
        if (i > start) components.push_back(name.substr(start, i - start));
        start = i + 1;
    }
    if (components.empty()) return PathVerdict::kInvalidName;
    for (const std::u16string& component : components)
        if (OnlyDotsAndSpaces(component)) return PathVerdict::kOutside;
    for (const std::u16string& component : components) {
        if (!ValidComponent(component)) return PathVerdict::kInvalidName;
        if (!path.empty()) path += u'\\';
        path += component;
    }
    folder = name.back() == u'\\' || name.back() == u'/';
    return PathVerdict::kSafe;
}

}  // namespace engine
