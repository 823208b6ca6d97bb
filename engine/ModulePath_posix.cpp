#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include "engine/ModulePath.h"

namespace engine {

std::string ModulePath() {
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) == 0 || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    std::string path = realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
    if (path.empty() || path[0] != '/') return path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

}  // namespace engine
