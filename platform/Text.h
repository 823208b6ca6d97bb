// Text conversions between the encodings the system uses.
//
// The window works in UTF-16; captions are written as UTF-8 in the source; paths, registry
// strings and every text of the archive component are 8-bit strings in the ANSI code page;
// archive names may be in the OEM code page. On Windows ANSI and OEM are the system's code
// pages; elsewhere ANSI is UTF-8 and OEM is code page 437.
#pragma once

#include <string>

namespace platform {

// UTF-8 <-> UTF-16. Malformed input is replaced by U+FFFD (lenient forms).
std::u16string Utf8ToUtf16(const std::string& s);
std::string Utf16ToUtf8(const std::u16string& s);

// Strict UTF-8 decoding: false (and `out` emptied) when `s` is not well-formed UTF-8.
bool TryUtf8ToUtf16(const std::string& s, std::u16string& out);

// ANSI code page <-> UTF-16. Characters the code page cannot hold become '?'.
std::u16string AnsiToUtf16(const std::string& s);
std::string Utf16ToAnsi(const std::u16string& s);

// ANSI code page from UTF-16 without best-fit mapping: a character the code page cannot hold
// exactly (a fullwidth solidus, a letter of another script) becomes the code page's default
// character, never a look-alike such as "\" or "/". A precomposed letter the code page holds
// only as a base letter and a combining mark (Vietnamese under 1258) is written that way.
std::string Utf16ToAnsiExact(const std::u16string& s);

// OEM code page -> UTF-16.
std::u16string OemToUtf16(const std::string& s);

// Upper case under the user's locale, every letter (not only ASCII ones), one UTF-16 unit for
// one: for comparing names without regard to letter case.
std::u16string UpperLocale(std::u16string s);

// The ANSI text that stands for exactly `s`, no character lost or replaced by a look-alike:
// true and the text in `out` (as Utf16ToAnsiExact writes it); false (and `out` emptied) when
// the code page cannot hold `s`.
bool TryUtf16ToAnsi(const std::u16string& s, std::string& out);

// OEM code page <-> ANSI code page.
std::string ConvertOemToAnsi(const std::string& s);
std::string ConvertAnsiToOem(const std::string& s);

// True when `c` starts a two-byte character in the ANSI code page (never on a UTF-8 host).
bool IsLeadByte(unsigned char c);

// Windows-style case-insensitive comparison of ASCII letters (names of keys, resources, files).
bool SameTextAscii(const std::string& a, const std::string& b);
// Comparison of two ANSI texts without regard to letter case under the user's locale (every
// letter, not only ASCII ones).
bool SameTextLocale(const std::string& a, const std::string& b);
std::string UpperAscii(std::string s);

}  // namespace platform
