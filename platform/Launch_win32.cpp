#include <windows.h>
// The shell's header builds on windows.h.
#include <objbase.h>
#include <shellapi.h>

#include <cstdint>

#include "platform/Launch.h"

namespace platform {

bool LaunchHidden(const std::string& file, const std::string& folder) {
    // The shell may hand the file to an extension, which needs COM on the calling thread (the
    // setup starts its installers on a thread of their own).
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE result =
        ShellExecuteA(nullptr, nullptr, file.c_str(), nullptr, folder.c_str(), SW_HIDE);
    if (SUCCEEDED(com)) CoUninitialize();
    // Values above 32 mean the program was started; smaller ones are error codes.
    return reinterpret_cast<intptr_t>(result) > 32;
}

}  // namespace platform
