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

}  // namespace

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
