#include <windows.h>

#include "platform/Console.h"
#include "platform/Text.h"

namespace platform {

namespace {

// The stream's handle: the one the starter gave the program (a file or a pipe), or else the
// console of the parent process, attached on first use.
HANDLE StreamHandle(DWORD which) {
    HANDLE h = GetStdHandle(which);
    if (h != nullptr && h != INVALID_HANDLE_VALUE) return h;
    static HANDLE console = [] {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
        return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    }();
    return console;
}

void Write(DWORD which, const std::string& utf8) {
    HANDLE h = StreamHandle(which);
    if (h == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0, done = 0;
    if (GetConsoleMode(h, &mode)) {
        // A console shows UTF-16 whatever its code page; line ends become CR LF there.
        std::u16string text;
        for (char16_t c : Utf8ToUtf16(utf8)) {
            if (c == u'\n') text.push_back(u'\r');
            text.push_back(c);
        }
        WriteConsoleW(h, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
    } else {
        WriteFile(h, utf8.data(), static_cast<DWORD>(utf8.size()), &done, nullptr);
    }
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    const wchar_t* line = GetCommandLineW();
    const std::vector<std::u16string> split =
        SplitCommandLine(std::u16string(line, line + wcslen(line)));
    std::vector<std::string> args;
    for (size_t i = 1; i < split.size(); ++i) args.push_back(Utf16ToUtf8(split[i]));
    return args;
}

void WriteStandardOutput(const std::string& utf8) {
    Write(STD_OUTPUT_HANDLE, utf8);
}

void WriteStandardError(const std::string& utf8) {
    Write(STD_ERROR_HANDLE, utf8);
}

}  // namespace platform
