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

}  // namespace

std::string Utf16ToAnsiExact(const std::u16string& s) {
    bool lost = false;
    std::string out = ExactAnsi(s, lost);
    if (!lost) return out;
    // Code pages such as 1258 hold some letters only as a base letter and a combining mark.
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s.data());
    const int n = FoldStringW(MAP_COMPOSITE, w, static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return out;
    std::u16string decomposed(static_cast<size_t>(n), u'\0');
    FoldStringW(MAP_COMPOSITE, w, static_cast<int>(s.size()),
                reinterpret_cast<wchar_t*>(decomposed.data()), n);
    bool stillLost = false;
    std::string second = ExactAnsi(decomposed, stillLost);
    return stillLost ? out : second;
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

bool SameTextLocale(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace platform
