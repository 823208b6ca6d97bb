// The POSIX host's locale facts: a table of the languages the program and its message tables
// meet, in the forms Windows gives them. Texts are UTF-8, the host's ANSI code page.
#include <cstdlib>

#include "platform/Locale.h"
#include "platform/Text.h"

namespace platform {

namespace {

struct LocaleFacts {
    uint16_t id;
    const char* iso639;
    const char* iso3166;
    const char* abbrev;
    const char* name;
    const char* englishLanguage;
    const char* nativeLanguage;
    const char* englishCountry;
    const char* nativeCountry;
};

constexpr LocaleFacts kLocales[] = {
    {0x0409, "en", "US", "ENU", "English (United States)", "English", "English", "United States",
     "United States"},
    {0x0809, "en", "GB", "ENG", "English (United Kingdom)", "English", "English", "United Kingdom",
     "United Kingdom"},
    {0x042A, "vi", "VN", "VIT", "Vietnamese (Vietnam)", "Vietnamese", "Tiếng Việt", "Vietnam",
     "Việt Nam"},
    {0x0407, "de", "DE", "DEU", "German (Germany)", "German", "Deutsch", "Germany", "Deutschland"},
    {0x040C, "fr", "FR", "FRA", "French (France)", "French", "français", "France", "France"},
    {0x0413, "nl", "NL", "NLD", "Dutch (Netherlands)", "Dutch", "Nederlands", "Netherlands",
     "Nederland"},
};

const LocaleFacts* FindById(uint32_t locale) {
    for (const LocaleFacts& f : kLocales)
        if (f.id == (locale & 0xFFFF)) return &f;
    return nullptr;
}

// "vi_VN.UTF-8" and "vi" name a locale of the table: the exact language and country first,
// then the first entry of the language.
const LocaleFacts* FindByPosixName(const std::string& posixName) {
    const std::string language = posixName.substr(0, posixName.find_first_of("_.@"));
    std::string country;
    const size_t underscore = posixName.find('_');
    if (underscore != std::string::npos)
        country = posixName.substr(underscore + 1,
                                   posixName.find_first_of(".@", underscore) - underscore - 1);
    for (const LocaleFacts& f : kLocales)
        if (SameTextAscii(language, f.iso639) && SameTextAscii(country, f.iso3166)) return &f;
    for (const LocaleFacts& f : kLocales)
        if (SameTextAscii(language, f.iso639)) return &f;
    return nullptr;
}

}  // namespace

uint32_t UserDefaultLocale() {
    // The first of the variables that is set decides, as for the host's own message catalogs.
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        const LocaleFacts* f = FindByPosixName(value);
        return f ? f->id : 0x0409;
    }
    return 0x0409;
}

std::string LocaleText(uint32_t locale, int kind) {
    if ((locale & 0xFFFF) == kLocaleUserDefault || (locale & 0xFFFF) == 0)
        locale = UserDefaultLocale();
    const LocaleFacts* f = FindById(locale);
    if (!f) return {};
    switch (kind & 0x0FFFFFFF) {  // the high bits are flags such as LOCALE_NOUSEROVERRIDE
        case kLocaleLanguageId: {
            static const char kHex[] = "0123456789abcdef";
            std::string id(4, '0');
            for (int i = 0; i < 4; ++i) id[3 - i] = kHex[(f->id >> (4 * i)) & 0xF];
            return id;
        }
        case kLocaleLanguageName:
            return f->name;
        case kLocaleAbbrevLanguageName:
            return f->abbrev;
        case kLocaleNativeLanguageName:
            return f->nativeLanguage;
        case kLocaleEnglishLanguageName:
            return f->englishLanguage;
        case kLocaleEnglishCountryName:
            return f->englishCountry;
        case kLocaleNativeCountryName:
            return f->nativeCountry;
        case kLocaleIso639Name:
            return f->iso639;
        case kLocaleIso3166Name:
            return f->iso3166;
        default:
            return {};
    }
}

}  // namespace platform
