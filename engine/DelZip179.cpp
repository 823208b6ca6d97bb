// The module's six exports.
#include "engine/DelZip179.h"

#include <new>
#include <string>

#include "engine/ModulePath.h"
#include "engine/Unzip.h"

namespace {

// Interface version 1.79, build 1.79.08.01.
constexpr int32_t kVersion = 179;
constexpr int32_t kBuild = 1790801;

}  // namespace

extern "C" {

int32_t DZ_CALL DZ_Version(void) {
    return kVersion;
}

int32_t DZ_CALL DZ_PrivVersion(void) {
    return kBuild;
}

const char* DZ_CALL DZ_Path(void) {
    static const std::string path = engine::ModulePath();
    return path.c_str();
}

int32_t DZ_CALL DZ_UnzExec(UnzipCommand* command) {
    if (!command) return DZ_ERR_STRUCTURE;
    try {
        engine::UnzipRun run(*command);
        return run.Execute();
    } catch (const std::bad_alloc&) {
        return DZ_ERR_MEMORY;
    } catch (...) {
        return -6;  // nothing may leave the module as an exception
    }
}

// Adding to archives is not part of this engine.
int32_t DZ_CALL DZ_ZipExec(void* /*command*/) {
    return DZ_ERR_STRUCTURE;
}

void DZ_CALL DZ_Abort(int32_t abortValue) {
    engine::AbortRun(abortValue);
}

}  // extern "C"
