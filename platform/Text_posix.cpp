// The POSIX host's code pages: ANSI is UTF-8, OEM is code page 437.
#include <locale.h>

#include <cstdint>
#include <cwctype>

#include "platform/Text.h"

namespace platform {

namespace {

// Code page 437, bytes 0x80..0xFF, as Unicode.
// clang-format off
constexpr uint16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7,
    0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5,
    0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192,
    0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA,
    0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4,
    0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229,
    0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
};
// clang-format on

}  // namespace

std::u16string AnsiToUtf16(const std::string& s) { return Utf8ToUtf16(s); }
std::string Utf16ToAnsi(const std::u16string& s) { return Utf16ToUtf8(s); }

// UTF-8 holds every character; only a lone surrogate has no form in it.
bool TryUtf16ToAnsi(const std::u16string& s, std::string& out) {
    out = Utf16ToUtf8(s);
    if (Utf8ToUtf16(out) == s) return true;
    out.clear();
    return false;
}

std::string Utf16ToAnsiExact(const std::u16string& s) {
    return Utf16ToUtf8(s);
}

std::u16string OemToUtf16(const std::string& s) {
    std::u16string w;
    w.reserve(s.size());
    for (unsigned char c : s)
        w.push_back(c < 0x80 ? c : static_cast<char16_t>(kCp437High[c - 0x80]));
    return w;
}

std::string ConvertOemToAnsi(const std::string& s) {
    return Utf16ToUtf8(OemToUtf16(s));
}

std::string ConvertAnsiToOem(const std::string& s) {
    std::string out;
    for (char16_t c : Utf8ToUtf16(s)) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 128; ++i)
            if (kCp437High[i] == c) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        out.push_back(mapped);
    }
    return out;
}

bool IsLeadByte(unsigned char) {
    return false;
}

namespace {

// The C.UTF-8 locale, or null where the host has none. It is freed when this code is unloaded
// (the engine module is, after every operation).
locale_t Utf8Locale() {
    static const struct Holder {
        locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        ~Holder() {
            if (locale) freelocale(locale);
        }
    } holder;
    return holder.locale;
}

// ANSI is UTF-8 here: letters fold by the Unicode tables of the C.UTF-8 locale, or as ASCII
// where the host has none.
char16_t UpperOne(char16_t c) {
    const locale_t utf8 = Utf8Locale();
    if (utf8) {
        const wint_t u = towupper_l(c, utf8);
        return u <= 0xFFFF ? static_cast<char16_t>(u) : c;
    }
    return c >= 'a' && c <= 'z' ? static_cast<char16_t>(c - 32) : c;
}

}  // namespace

std::u16string UpperLocale(std::u16string s) {
    for (char16_t& c : s)
        if (c < 0xD800 || c > 0xDFFF) c = UpperOne(c);
    return s;
}

bool SameTextLocale(const std::string& a, const std::string& b) {
    // ANSI is UTF-8 here: letters fold by the Unicode tables of the C.UTF-8 locale, or as
    // ASCII where the host has none.
    const locale_t utf8 = Utf8Locale();
    const std::u16string wa = AnsiToUtf16(a), wb = AnsiToUtf16(b);
    if (wa.size() != wb.size()) return false;
    for (size_t i = 0; i < wa.size(); ++i) {
        wint_t ca = wa[i], cb = wb[i];
        if (utf8) {
            ca = towupper_l(ca, utf8);
            cb = towupper_l(cb, utf8);
        } else {
            if (ca >= 'a' && ca <= 'z') ca -= 32;
            if (cb >= 'a' && cb <= 'z') cb -= 32;
        }
        if (ca != cb) return false;
    }
    return true;
}

}  // namespace platform
