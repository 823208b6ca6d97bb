#include "platform/PathParts.h"

#include "platform/Text.h"

namespace platform {

namespace {

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The position just past the next character that starts at i (two bytes for a double-byte one).
size_t Next(const std::string& s, size_t i) {
    return IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? i + 2 : i + 1;
}

// The position just past the last "\", "/" or ":" (0 when there is none).
size_t FileNameStart(const std::string& path) {
    size_t start = 0;
    for (size_t i = 0; i < path.size(); i = Next(path, i))
        if (IsSeparator(path[i]) || path[i] == ':') start = i + 1;
    return start;
}

// The position of the dot that starts the extension of the file name; npos when it has none.
size_t ExtensionStart(const std::string& path) {
    size_t dot = std::string::npos;
    for (size_t i = FileNameStart(path); i < path.size(); i = Next(path, i))
        if (path[i] == '.') dot = i;
    return dot;
}

}  // namespace

std::string PathDrive(const std::string& path) {
    if (path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') return path.substr(0, 2);
    if (path.size() < 3 || !IsSeparator(path[0]) || !IsSeparator(path[1])) return "";
    // A network path: the drive runs up to the separator after the share's name.
    int separators = 0;
    size_t i = 2;
    for (; i < path.size(); i = Next(path, i))
        if (IsSeparator(path[i]) && ++separators == 2) break;
    return path.substr(0, i);
}

std::string PathDriveRoot(const std::string& path) {
    const std::string drive = PathDrive(path);
    return drive.empty() ? "" : drive + "\\";
}

std::string PathFolder(const std::string& path) {
    return path.substr(0, FileNameStart(path));
}

std::string PathFileName(const std::string& path) {
    return path.substr(FileNameStart(path));
}

std::string PathExtension(const std::string& path) {
    const size_t dot = ExtensionStart(path);
    return dot == std::string::npos ? "" : path.substr(dot);
}

std::string ChangePathExtension(const std::string& path, const std::string& extension) {
    const size_t dot = ExtensionStart(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + extension;
}

}  // namespace platform
