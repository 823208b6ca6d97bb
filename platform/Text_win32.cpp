#include <windows.h>

#include "platform/Text.h"

namespace platform {

namespace {

std::u16string ToUtf16(UINT codePage, const std::string& s) {
    if (s.empty()) return {};
    const int n =
        MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(n), u'\0');
    MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()),
                        reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

std::string FromUtf16(UINT codePage, const std::u16string& s) {
    if (s.empty()) return {};
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s.data());
    const int n = WideCharToMultiByte(codePage, 0, w, static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, w, static_cast<int>(s.size()), out.data(), n, nullptr,
                        nullptr);
    return out;
}

// The text in the ANSI code page without best fit; `lost` tells whether a character took the
// default character.
std::string ExactAnsi(const std::u16string& s, bool& lost) {
    lost = false;
    if (s.empty()) return {};
    // The UTF-8 code page holds everything and takes no flags.
    const DWORD flags = GetACP() == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = flags ? &usedDefault : nullptr;
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s.data());
    const int n = WideCharToMultiByte(CP_ACP, flags, w, static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, used);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0)
        WideCharToMultiByte(CP_ACP, flags, w, static_cast<int>(s.size()), out.data(), n, nullptr,
                            used);
    lost = usedDefault != FALSE;
    return out;
}

std::u16string Fold(DWORD map, const std::u16string& s) {
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s.data());
    const int n = FoldStringW(map, w, static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return s;
    std::u16string out(static_cast<size_t>(n), u'\0');
    FoldStringW(map, w, static_cast<int>(s.size()), reinterpret_cast<wchar_t*>(out.data()), n);
    return out;
}

// One character the code page does not hold as it is, as a base letter with one of its marks
// precomposed (or none) and the other marks combining, where the code page holds that: "ệ" is
// "ê" and a combining dot below in code page 1258. False when no such form fits.
bool AsBaseAndMarks(const std::u16string& one, std::string& out) {
    const std::u16string d = Fold(MAP_COMPOSITE, one);
    for (size_t m = 0; d.size() >= 2 && m < d.size(); ++m) {
        std::u16string head = d.substr(0, 1);
        if (m > 0) head = Fold(MAP_PRECOMPOSED, head + d[m]);
        if (head.size() != 1) continue;
        std::u16string marks;
        for (size_t k = 1; k < d.size(); ++k)
            if (k != m) marks += d[k];
        bool lost = false;
        out = ExactAnsi(head + marks, lost);
        if (!lost) return true;
    }
    return false;
}

}  // namespace

std::string Utf16ToAnsiExact(const std::u16string& s) {
    bool lost = false;
    std::string whole = ExactAnsi(s, lost);
    if (!lost) return whole;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool pair = s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() &&
                          s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF;
        const std::u16string one = s.substr(i, pair ? 2 : 1);
        if (pair) ++i;
        std::string piece = ExactAnsi(one, lost);
        std::string marked;
        if (lost && AsBaseAndMarks(one, marked)) piece = marked;
        out += piece;
    }
    return out;
}

std::u16string OemToUtf16(const std::string& s) {
    return ToUtf16(CP_OEMCP, s);
}

std::u16string UpperLocale(std::u16string s) {
    if (s.empty()) return s;
    std::u16string out(s.size(), u'\0');
    const int n =
        LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE,
                     reinterpret_cast<const wchar_t*>(s.data()), static_cast<int>(s.size()),
                     reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
    return n == static_cast<int>(s.size()) ? out : s;
}

std::u16string AnsiToUtf16(const std::string& s) {
    return ToUtf16(CP_ACP, s);
}
std::string Utf16ToAnsi(const std::u16string& s) {
    return FromUtf16(CP_ACP, s);
}
std::string ConvertOemToAnsi(const std::string& s) {
    return FromUtf16(CP_ACP, ToUtf16(CP_OEMCP, s));
}
std::string ConvertAnsiToOem(const std::string& s) {
    return FromUtf16(CP_OEMCP, ToUtf16(CP_ACP, s));
}
bool IsLeadByte(unsigned char c) {
    return IsDBCSLeadByte(c) != FALSE;
}

bool TryUtf16ToAnsi(const std::u16string& s, std::string& out) {
    out = Utf16ToAnsiExact(s);
    // Every character came through when the text reads back as the same letters; a letter
    // written as base letter and mark reads back decomposed.
    if (Fold(MAP_PRECOMPOSED, AnsiToUtf16(out)) == Fold(MAP_PRECOMPOSED, s)) return true;
    out.clear();
    return false;
}

bool SameTextLocale(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace platform
