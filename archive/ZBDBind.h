// The layer between the archive component's worker and its extraction engine module: it keeps
// the engine's folder, whether the engine is held loaded, and forwards the abort request.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ZBCore.h"
#include "engine/DelZip179.h"

namespace archive {

// The engine module's file name.
inline const char* const kEngineFileName = DZ_MODULE_NAME;

// Why the engine module is held loaded (a set of bits).
enum : uint32_t {
    LoadForCall = 1,       // one engine call or query
    LoadForOperation = 2,  // one whole extract operation
    LoadByProperty = 4,    // the component's Dll_Load
};

class TZBDynamicBind : public TZBCore {
public:
    TZBDynamicBind() = default;
    ~TZBDynamicBind() override = default;

    // Whether the engine module is loaded.
    bool IsLoaded() const { return moduleLoaded_; }
    // The component's Dll_Load: holds the engine loaded (or drops that reason) when the value
    // differs from the current state.
    void SetLoaded(bool value);
    // The component's DLLDirectory: where the next load looks for the engine.
    void SetDllDirectory(const std::string& value);
    const std::string& DllDir() const { return dllDir_; }
    // Sets the cancel flag and tells a loaded engine to stop.
    void AbortEngine();

    int32_t AbortHandle = 0;

protected:
    int32_t LoadDll(uint32_t reasons);
    int32_t ReleaseDll(uint32_t reasons);

    std::string dllDir_;
    std::string dllPath_ = kEngineFileName;
    uint32_t loadReasons_ = 0;
    bool moduleLoaded_ = false;
};

}  // namespace archive
