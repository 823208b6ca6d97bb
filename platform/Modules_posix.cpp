#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/Files.h"
#include "platform/Modules.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Prefix_posix.h"

namespace platform {

namespace {

// Windows' numbers for the failures a load meets.
constexpr uint32_t kErrorModNotFound = 126;
constexpr uint32_t kErrorBadExeFormat = 193;

std::string HostProgramFile() {
    std::vector<char> buffer(PATH_MAX);
    const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0) return "";
    return std::string(buffer.data(), static_cast<size_t>(n));
}

// Whether a bare name may still come from the program's folder.
bool besideProgram = true;

void* Open(const std::string& hostPath) {
    return dlopen(hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
}

}  // namespace

ModuleHandle OpenModule(const std::string& path, uint32_t* error) {
    void* module = nullptr;
    if (!path.empty()) {
        if (PathFolder(path).empty()) {
            // The program's folder first, then the host's search by name.
            const std::string beside = PathFolder(ProgramFileName()) + path;
            if (besideProgram && FileExists(beside)) module = Open(HostPath(beside));
            if (!module) module = Open(path);
        } else {
            const std::string host = HostPath(path);
            if (!host.empty()) module = Open(host);
        }
    }
    if (error) {
        *error = 0;
        if (!module) *error = FileExists(path) ? kErrorBadExeFormat : kErrorModNotFound;
    }
    return module;
}

void RestrictModuleSearch() {
    besideProgram = false;
}

ModuleHandle OpenSystemModule(const std::string& name) {
    return name.empty() || name.find('/') != std::string::npos ? nullptr : Open(name);
}

void* ModuleExport(ModuleHandle module, const char* name) {
    if (!module) return nullptr;
    return dlsym(module, name);
}

void CloseModule(ModuleHandle module) {
    if (module) dlclose(module);
}

std::string ProgramFileName() {
    const std::string host = HostProgramFile();
    if (host.empty()) return "";
    std::string drive = "Z:", rest = host;
    if (char* c = realpath((PrefixRoot() + "/drive_c").c_str(), nullptr)) {
        const std::string driveC = c;
        std::free(c);
        if (host.compare(0, driveC.size(), driveC) == 0 && host.size() > driveC.size() &&
            host[driveC.size()] == '/')
            drive = "C:", rest = host.substr(driveC.size());
    }
    for (char& ch : rest)
        if (ch == '/') ch = '\\';
    return drive + rest;
}

}  // namespace platform
