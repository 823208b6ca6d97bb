#include "platform/Modules.h"
#include "tests/engine/EngineHarness.h"

namespace engine_test {

namespace {

template <typename Fn>
Fn Bind(platform::ModuleHandle module, const char* name) {
    return reinterpret_cast<Fn>(platform::ModuleExport(module, name));
}

EngineExports Load() {
    EngineExports e;
    // By its bare name, as the program loads it: the search starts in the program's folder.
    uint32_t error = 0;
    platform::ModuleHandle module = platform::OpenModule(DZ_MODULE_NAME, &error);
    if (!module) {
        e.error = "loading failed with system error " + std::to_string(error);
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
