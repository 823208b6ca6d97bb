// The layer between the archive component's worker and its extraction engine module: it finds
// the engine, loads it, binds its six exports, checks its version, keeps it loaded while at
// least one reason to do so is held, and can write an engine carried in the program's own
// resources to a temporary file and load that one instead. Every call into the engine goes
// through here, so negative engine results become exceptions here too.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ZBCore.h"
#include "engine/DelZip179.h"
#include "platform/FileHandle.h"
#include "platform/Modules.h"

namespace archive {

// The engine module's file name.
inline const char* const kEngineFileName = DZ_MODULE_NAME;

// Why the engine module is held loaded (a set of bits).
enum : uint32_t {
    LoadForCall = 1,       // one engine call or query
    LoadForOperation = 2,  // one whole extract operation
    LoadByProperty = 4,    // the component's Dll_Load
    kAllLoadReasons = 7,
};

// The lowest and highest engine interface versions accepted; the lowest also goes into every
// command.
constexpr int32_t MinDllVersion = DZ_MIN_VERSION;
constexpr int32_t MaxDllVersion = DZ_MAX_VERSION;
// An engine carried in the resources is used only when its build is above this.
constexpr int32_t kResourceEngineBuild = 1790000;
// The resources that carry an engine: its build as decimal text (a string of the string table)
// and its image (raw data), as is ("MZ...") or LZ77 coded.
constexpr unsigned kResEngineBuild = 11612;
inline const char* const kResEngineImage = "#11613";
// An engine image in the resources is used only when it is larger than this.
constexpr size_t kMinResourceEngineSize = 50000;
// The DLLDirectory value that takes the engine carried in the resources and no other.
inline const char* const kResourceEngineDir = "><";

class TZBDynamicBind : public TZBCore {
public:
    TZBDynamicBind() = default;
    ~TZBDynamicBind() override;

    // Whether the engine module is loaded.
    bool IsLoaded() const { return moduleHandle_ != nullptr; }
    // The component's Dll_Load: holds the engine loaded (or drops that reason) when the value
    // differs from the current state. EZipBuilder 10650 or 10651 when the engine cannot load.
    void SetLoaded(bool value);
    // The component's DLLDirectory: where the next load looks for the engine. A folder starting
    // with "." is relative to the program's folder; "><" takes the engine in the resources and
    // nothing else (EZipBuilder 10650 when there is none or it cannot be written out), written
    // out and loaded once and held until the component goes or the folder changes.
    void SetDllDirectory(const std::string& value);
    const std::string& DllDir() const { return dllDir_; }
    // Sets the cancel flag and tells a loaded engine to stop.
    void AbortEngine();

    // Loads the engine for a whole operation: its version (179 or more), or EZipBuilder 10650
    // or 10651 with every load reason dropped.
    int32_t CheckDllLoaded();
    // Runs one engine command: the engine's result (0 or more); EZipBuilder for a negative
    // result. An exception raised inside the engine counts as result -7.
    int32_t UnzExec(UnzipCommand* command);
    int32_t ZipExec(void* command);
    // Turns a negative engine result into its EZipBuilder; nothing for 0 and above.
    static void CheckExecResult(int32_t result);

    // Queries for the component; each loads the engine for the time of the query when needed.
    int32_t GetDllBuild();
    std::string GetDllPath();
    // The build as " 1.79.08.01 " when the engine is loaded, "[1.79.08.01]" when it had to be
    // loaded for the query.
    std::string GetDllVersionText();

    int32_t DllVersion() const { return dllVersion_; }
    int32_t DllBuild() const { return dllBuild_; }
    const std::string& DllPath() const { return dllPath_; }
    uint32_t LoadReasons() const { return loadReasons_; }
    const std::string& TempDllPath() const { return tempDllPath_; }

    // The value the engine announced for DZ_Abort (callback action 18); 0 after every call.
    int32_t AbortHandle = 0;

protected:
    // Adds the reasons and loads the engine when none is loaded: DllVersion.
    int32_t LoadDll(uint32_t reasons);
    // Drops the reasons; the engine is unloaded when none is left: DllVersion.
    int32_t ReleaseDll(uint32_t reasons);

private:
    template <class Entry, class Command>
    int32_t Execute(const Entry& entry, Command* command);
    // Loads the module at `path` and binds it: its build, or 0 when it did not load or is no
    // usable engine (then EZipBuilder 10650 or 10651 when `mustLoad`).
    int32_t LoadModule(const std::string& path, bool mustLoad);
    // The DLLDirectory "><": loads the engine carried in the resources and no other one.
    void LoadResourceEngineOnly();
    void UnloadModule();
    void ClearEntryPoints();
    // Writes the engine carried in the resources to a temporary file: TempDllPath, "" when
    // there is none or it could not be written.
    std::string ExtractResourceDll();
    void RemoveTempDll();
    // Closes the read-only hold on the engine file that ExtractResourceDll keeps for the load.
    void ReleaseTempDllHold();
    // Creates the temporary file "DZ_<n>.dll" in TempDir or the system's temporary folder, new
    // and private to the running user and administrators: its name with `file` open for
    // writing, or "" when none could be made.
    std::string MakeTempDllName(platform::FileHandle& file) const;

    DZ_ZipExecFn zipExec_ = nullptr;
    DZ_UnzExecFn unzExec_ = nullptr;
    DZ_AbortFn abort_ = nullptr;
    DZ_PrivVersionFn privVersion_ = nullptr;
    DZ_VersionFn version_ = nullptr;
    DZ_PathFn path_ = nullptr;
    std::string dllDir_;
    bool deleteTempOnUnload_ = false;
    // The carried engine ("><") stays loaded between operations once it has been loaded.
    bool holdCarriedEngine_ = false;
    std::string dllPath_ = kEngineFileName;
    int32_t dllVersion_ = 0;
    platform::ModuleHandle moduleHandle_ = nullptr;
    uint32_t loadReasons_ = 0;
    int32_t dllBuild_ = 0;
    std::string tempDllPath_;
    platform::FileHandle tempDllHold_ = platform::kInvalidFileHandle;
};

// The build number of the engine carried in the program's resources: the first 7 characters of
// string 11612 as a decimal number; 0 when there is none or it is not a number.
int32_t ResourceEngineBuild();

}  // namespace archive
