#include <windows.h>
// The shell's header builds on windows.h.
#include <shellapi.h>

#include <cstdint>

#include "platform/Launch.h"

namespace platform {

bool LaunchHidden(const std::string& file, const std::string& folder) {
    const HINSTANCE result =
        ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, folder.c_str(), SW_HIDE);
    // Values above 32 mean the program was started; smaller ones are error codes.
    return reinterpret_cast<intptr_t>(result) > 32;
}

}  // namespace platform
