#include <windows.h>

#include "platform/Files.h"

namespace platform {

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileAttributes(const std::string& path, FileAttributes& out) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    out.directory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    out.readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    return true;
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != FALSE; }

bool MakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != FALSE; }

bool RemoveFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) != FALSE; }

bool SetCurrentFolder(const std::string& path) {
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

}  // namespace platform
