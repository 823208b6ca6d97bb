#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include "tests/engine/EngineHarness.h"

namespace engine_test {

namespace {

EngineExports Load() {
    EngineExports e;
    // The test program's own folder, as the program's module search starts there.
    char self[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    path = path.substr(0, path.rfind('/') + 1) + DZ_MODULE_NAME;
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        e.error = dlerror();
        return e;
    }
    e.version = reinterpret_cast<DZ_VersionFn>(dlsym(module, "DZ_Version"));
    e.privVersion = reinterpret_cast<DZ_PrivVersionFn>(dlsym(module, "DZ_PrivVersion"));
    e.path = reinterpret_cast<DZ_PathFn>(dlsym(module, "DZ_Path"));
    e.unzExec = reinterpret_cast<DZ_UnzExecFn>(dlsym(module, "DZ_UnzExec"));
    e.zipExec = reinterpret_cast<DZ_ZipExecFn>(dlsym(module, "DZ_ZipExec"));
    e.abort = reinterpret_cast<DZ_AbortFn>(dlsym(module, "DZ_Abort"));
    if (!e.version || !e.privVersion || !e.path || !e.unzExec || !e.zipExec || !e.abort)
        e.error = "an export is missing";
    return e;
}

}  // namespace

const EngineExports& Engine() {
    static const EngineExports exports = Load();
    return exports;
}

}  // namespace engine_test
