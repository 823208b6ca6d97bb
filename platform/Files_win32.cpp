#include <windows.h>

#include "platform/Files.h"
#include "platform/Text.h"

namespace platform {

namespace {

const wchar_t* W(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

}  // namespace

// The UTF-16 forms do the work; an ANSI path is the same path converted from the code page.
bool FileExists(const std::u16string& path) {
    return GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileAttributes(const std::u16string& path, FileAttributes& out) {
    const DWORD attributes = GetFileAttributesW(W(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    out.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    out.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return true;
}

bool RemoveFile(const std::u16string& path) {
    return DeleteFileW(W(path)) != FALSE;
}

bool MakeFolder(const std::u16string& path) {
    return CreateDirectoryW(W(path), nullptr) != FALSE;
}

bool RemoveFolder(const std::u16string& path) {
    return RemoveDirectoryW(W(path)) != FALSE;
}

bool FileExists(const std::string& path) {
    return FileExists(AnsiToUtf16(path));
}

bool ReadFileAttributes(const std::string& path, FileAttributes& out) {
    return ReadFileAttributes(AnsiToUtf16(path), out);
}

bool RemoveFile(const std::string& path) {
    return RemoveFile(AnsiToUtf16(path));
}

bool MakeFolder(const std::string& path) {
    return MakeFolder(AnsiToUtf16(path));
}

bool RemoveFolder(const std::string& path) {
    return RemoveFolder(AnsiToUtf16(path));
}

bool SetCurrentFolder(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

}  // namespace platform
