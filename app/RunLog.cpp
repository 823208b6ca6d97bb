#include "app/RunLog.h"

#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/FileHandle.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Files.h"
#include "platform/Protection.h"
#include "app/RunTemp.h"
#include "platform/Text.h"

namespace runlog {

namespace {

platform::FileHandle g_file = platform::kInvalidFileHandle;
int g_exitCode = 0;

std::tm LocalNow(int& millis) {
    const auto now = std::chrono::system_clock::now();
    millis = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000);
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    return *std::localtime(&t);
}

}  // namespace

OpenResult Open(const std::string& path, std::string& opened) {
    Close();
    opened.clear();
    // Always a new file, never one that is there (a link included): a file of that name gets
    // a numbered name beside it ("setup.log", then "setup.1.log", ...).
    const std::string folder = platform::PathFolder(path);
    const std::string extension = platform::PathExtension(path);
    const std::string stem = platform::PathFileName(path).substr(
        0, platform::PathFileName(path).size() - extension.size());
    for (int n = 0; n < 1000; ++n) {
        const std::string name =
            n == 0 ? path : folder + stem + "." + std::to_string(n) + extension;
        bool elsewhere = false;
        g_file = platform::FileCreateExact(name, elsewhere);
        if (g_file != platform::kInvalidFileHandle) {
            opened = name;
            return OpenResult::kOpened;
        }
        if (elsewhere) {
            opened = name;
            return OpenResult::kElsewhere;
        }
        if (!platform::FileExists(name)) {
            platform::FileAttributes a;
            if (!platform::ReadFileAttributes(name, a)) return OpenResult::kFailed;
        }
    }
    return OpenResult::kFailed;
}

bool Open(const std::string& path) {
    std::string opened;
    return Open(path, opened) == OpenResult::kOpened;
}

bool IsOpen() {
    return g_file != platform::kInvalidFileHandle;
}

void Close() {
    if (IsOpen()) platform::FileClose(g_file);
    g_file = platform::kInvalidFileHandle;
}

void Line(const std::string& utf8) {
    if (!IsOpen()) return;
    int ms = 0;
    const std::tm t = LocalNow(ms);
    char stamp[96];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, ms);
    // A line never breaks the log's layout: its own line ends become spaces.
    std::string line = stamp + utf8;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    for (char& c : line)
        if (c == '\n' || c == '\r') c = ' ';
    line += '\n';
    platform::FileWrite(g_file, line.data(), line.size());
}

void FileWritten(const std::string& path, const void* data, size_t size) {
    if (!IsOpen()) return;
    // zlib takes the length in pieces of an unsigned int.
    uLong crc = crc32(0L, Z_NULL, 0);
    const Bytef* next = static_cast<const Bytef*>(data);
    for (size_t left = size; left > 0;) {
        const uInt piece = static_cast<uInt>(left < (1u << 30) ? left : (1u << 30));
        crc = crc32(crc, next, piece);
        next += piece;
        left -= piece;
    }
    char figures[64];
    std::snprintf(figures, sizeof figures, " (%llu byte, CRC %08lx)",
                  static_cast<unsigned long long>(size), static_cast<unsigned long>(crc));
    Line("Ghi tệp " + FromAnsi(path) + figures);
}

std::string FromAnsi(const std::string& ansi) {
    return platform::Utf16ToUtf8(platform::AnsiToUtf16(ansi));
}

std::string DefaultPath() {
    int ms = 0;
    const std::tm t = LocalNow(ms);
    char name[96];
    std::snprintf(name, sizeof name, "Setup_iVOX-%04d%02d%02d-%02d%02d%02d.log", t.tm_year + 1900,
                  t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    const std::string folder = runtemp::Folder();
    return folder.empty() ? "" : folder + name;
}

void SetExitCode(int code) {
    g_exitCode = code;
}

int ExitCode() {
    return g_exitCode;
}

}  // namespace runlog
