#include <windows.h>

#include "app/Report.h"
#include "platform/Text.h"

namespace admin {

void ShowReport(const std::string& utf8, bool problem) {
    const std::u16string text = platform::Utf8ToUtf16(utf8);
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()), L"Setup_iVOX",
                MB_OK | (problem ? MB_ICONERROR : MB_ICONINFORMATION));
}

}  // namespace admin
