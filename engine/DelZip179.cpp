// The module's six exports.
#include "engine/DelZip179.h"

#include <new>
#include <string>

#include "engine/ExportGuard.h"
#include "engine/ModulePath.h"
#include "engine/Unzip.h"

namespace {

// Interface version 1.79, build 1.79.08.01.
constexpr int32_t kVersion = 179;
constexpr int32_t kBuild = 1790801;

}  // namespace

// Every export is noexcept and runs its body guarded (engine/ExportGuard.h).
extern "C" {

int32_t DZ_CALL DZ_Version(void) noexcept {
    return kVersion;
}

int32_t DZ_CALL DZ_PrivVersion(void) noexcept {
    return kBuild;
}

// An empty text when the module's own path cannot be found or held.
const char* DZ_CALL DZ_Path(void) noexcept {
    return engine::Guarded<const char*>("", [] {
        static const std::string path = engine::ModulePath();
        return path.c_str();
    });
}

int32_t DZ_CALL DZ_UnzExec(UnzipCommand* command) noexcept {
    if (!command) return DZ_ERR_STRUCTURE;
    return engine::Guarded(engine::kResultRaised, [command]() -> int32_t {
        try {
            engine::UnzipRun run(*command);
            return run.Execute();
        } catch (const std::bad_alloc&) {
            return DZ_ERR_MEMORY;
        }
    });
}

// Adding to archives is not part of this engine.
int32_t DZ_CALL DZ_ZipExec(void* /*command*/) noexcept {
    return DZ_ERR_STRUCTURE;
}

void DZ_CALL DZ_Abort(int32_t abortValue) noexcept {
    engine::Guarded([abortValue] { engine::AbortRun(abortValue); });
}

}  // extern "C"

static_assert(
    noexcept(DZ_Version()) && noexcept(DZ_PrivVersion()) && noexcept(DZ_Path()) && noexcept(
        DZ_UnzExec(nullptr)) && noexcept(DZ_ZipExec(nullptr)) && noexcept(DZ_Abort(0)),
    "nothing may unwind out of an export");
