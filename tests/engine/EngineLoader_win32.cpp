#include <windows.h>

#include "tests/engine/EngineHarness.h"

namespace engine_test {

namespace {

template <typename Fn>
Fn Bind(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

EngineExports Load() {
    EngineExports e;
    // By name: the module search looks in the program's folder first.
    HMODULE module = LoadLibraryA(DZ_MODULE_NAME);
    if (!module) {
        e.error = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return e;
    }
    e.version = Bind<DZ_VersionFn>(module, "DZ_Version");
    e.privVersion = Bind<DZ_PrivVersionFn>(module, "DZ_PrivVersion");
    e.path = Bind<DZ_PathFn>(module, "DZ_Path");
    e.unzExec = Bind<DZ_UnzExecFn>(module, "DZ_UnzExec");
    e.zipExec = Bind<DZ_ZipExecFn>(module, "DZ_ZipExec");
    e.abort = Bind<DZ_AbortFn>(module, "DZ_Abort");
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
