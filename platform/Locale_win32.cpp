#include <windows.h>

#include "platform/Locale.h"

namespace platform {

uint32_t UserDefaultLocale() {
    return GetUserDefaultLCID();
}

std::string LocaleText(uint32_t locale, int kind) {
    const int n = GetLocaleInfoA(locale, static_cast<LCTYPE>(kind), nullptr, 0);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    if (GetLocaleInfoA(locale, static_cast<LCTYPE>(kind), out.data(), n) <= 0) return {};
    out.resize(static_cast<size_t>(n) - 1);  // the count includes the terminator
    return out;
}

}  // namespace platform
