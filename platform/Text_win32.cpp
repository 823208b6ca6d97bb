#include <windows.h>

#include "platform/Text.h"

namespace platform {

namespace {

std::u16string ToUtf16(UINT codePage, const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
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

// `s` in the code page exactly: no default character and no best-fit look-alike; checked by
// reading it back, since the UTF code pages take no flags.
bool ExactFromUtf16(UINT codePage, const std::u16string& s, std::string& out) {
    out.clear();
    if (s.empty()) return true;
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s.data());
    const bool utf = GetACP() == CP_UTF8 || codePage == CP_UTF8;
    const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* used = utf ? nullptr : &usedDefault;
    const int n = WideCharToMultiByte(codePage, flags, w, static_cast<int>(s.size()), nullptr, 0,
                                      nullptr, used);
    if (n <= 0 || usedDefault) return false;
    out.assign(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, flags, w, static_cast<int>(s.size()), out.data(), n, nullptr,
                        used);
    if (!usedDefault && ToUtf16(codePage, out) == s) return true;
    out.clear();
    return false;
}

// `s` in Unicode normalisation form C or D; "" when the system has no normalisation.
std::u16string Normalized(const std::u16string& s, bool composed) {
    using NormalizeFn = int(WINAPI*)(int, LPCWSTR, int, LPWSTR, int);
    static const auto normalize = reinterpret_cast<NormalizeFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "NormalizeString")));
    if (!normalize || s.empty()) return {};
    const int form = composed ? 1 : 2;  // NormalizationC, NormalizationD
    const wchar_t* w = reinterpret_cast<const wchar_t*>(s.data());
    std::u16string out(s.size() * 4 + 8, u'\0');
    const int n = normalize(form, w, static_cast<int>(s.size()),
                            reinterpret_cast<wchar_t*>(out.data()), static_cast<int>(out.size()));
    if (n <= 0) return {};
    out.resize(static_cast<size_t>(n));
    return out;
}

// One character the code page lacks as a whole: its decomposition, with as many of the marks
// folded back into the base letter as the code page has a letter for ("ế" becomes "ê" and a
// combining acute accent in code page 1258).
bool DecomposedFromUtf16(char16_t c, std::string& out) {
    const std::u16string d = Normalized(std::u16string(1, c), false);
    if (d.size() < 2) return false;
    for (size_t keep = d.size() - 1; keep >= 1; --keep) {
        const std::u16string head = Normalized(d.substr(0, keep), true);
        std::string first, rest;
        if (head.size() == 1 && ExactFromUtf16(CP_ACP, head, first) &&
            ExactFromUtf16(CP_ACP, d.substr(keep), rest)) {
            out += first + rest;
            return true;
        }
    }
    return false;
}

}  // namespace

bool TryUtf16ToAnsi(const std::u16string& s, std::string& out) {
    if (ExactFromUtf16(CP_ACP, s, out)) return true;
    std::string text, piece;
    for (char16_t c : s) {
        if (ExactFromUtf16(CP_ACP, std::u16string(1, c), piece))
            text += piece;
        else if (!DecomposedFromUtf16(c, text))
            return false;
    }
    out = text;
    return true;
}

std::u16string AnsiToUtf16(const std::string& s) { return ToUtf16(CP_ACP, s); }
std::string Utf16ToAnsi(const std::u16string& s) { return FromUtf16(CP_ACP, s); }
std::string ConvertOemToAnsi(const std::string& s) { return FromUtf16(CP_ACP, ToUtf16(CP_OEMCP, s)); }
std::string ConvertAnsiToOem(const std::string& s) { return FromUtf16(CP_OEMCP, ToUtf16(CP_ACP, s)); }
bool IsLeadByte(unsigned char c) { return IsDBCSLeadByte(c) != FALSE; }

bool SameTextLocale(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(),
                          static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

}  // namespace platform
