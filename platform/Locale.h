// Facts about locales: the user's default language and the names of a language.
//
// Locales are Windows locale identifiers (a LANGID with sort order 0 is a valid one). On
// Windows the answers are the system's; on POSIX hosts they come from a small built-in table of
// the languages the program meets, and the user's default follows LC_ALL, LC_MESSAGES or LANG.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The locale that stands for "the user's default" (LOCALE_USER_DEFAULT).
constexpr uint32_t kLocaleUserDefault = 0x0400;

// Kinds of locale information (the Windows LCTYPE values, so they pass through unchanged).
enum : int {
    kLocaleLanguageId = 0x0001,           // "0409": the language identifier, 4 hex digits
    kLocaleLanguageName = 0x0002,         // "English (United States)"
    kLocaleAbbrevLanguageName = 0x0003,   // "ENU"
    kLocaleNativeLanguageName = 0x0004,   // "English", "Tiếng Việt"
    kLocaleEnglishLanguageName = 0x1001,  // "English", "Vietnamese"
    kLocaleEnglishCountryName = 0x1002,   // "United States", "Vietnam"
    kLocaleNativeCountryName = 0x0008,    // "United States", "Việt Nam"
    kLocaleIso639Name = 0x0059,           // "en"
    kLocaleIso3166Name = 0x005A,          // "US"
};

// The locale identifier of the user's default locale (1033 on a POSIX host whose environment
// names no language the table knows).
uint32_t UserDefaultLocale();

// The information of kind `kind` about `locale` in the ANSI code page; "" when the locale or the
// kind is unknown. kLocaleUserDefault means the user's default locale.
std::string LocaleText(uint32_t locale, int kind);

}  // namespace platform
