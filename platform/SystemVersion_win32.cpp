#include <windows.h>

#include "platform/SystemVersion.h"
#include "platform/Text.h"

namespace platform {

std::string SystemVersionText() {
    // The program's manifest names every Windows up to 10 and 11 as supported, so the numbers
    // are the real ones, not those of the last system the program knew.
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool known = GetVersionExW(&info) != FALSE;
#pragma GCC diagnostic pop
    std::string text = "Windows";
    if (known) {
        text += " " + std::to_string(info.dwMajorVersion) + "." +
                std::to_string(info.dwMinorVersion) + "." + std::to_string(info.dwBuildNumber);
        if (info.szCSDVersion[0])
            text += " " + Utf16ToUtf8(reinterpret_cast<const char16_t*>(info.szCSDVersion));
    }
    // A 32-bit program on 64-bit Windows runs under WOW64.
    BOOL wow64 = FALSE;
    const bool wide = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    text += wide ? " (64-bit)" : " (32-bit)";
    return text;
}

}  // namespace platform
