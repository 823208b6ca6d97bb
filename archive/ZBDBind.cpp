#include "archive/ZBDBind.h"

#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <vector>

#include "archive/Zbmsgstr.h"
#include "archive/Ziputils.h"
#include "platform/FileHandle.h"
#include "platform/Files.h"
#include "platform/PathParts.h"
#include "platform/Paths.h"
#include "platform/Resources.h"
#include "platform/SysError.h"

namespace archive {

namespace {

constexpr int32_t kMsgLoadFailed = 10650;    // "Failed to load %s"
constexpr int32_t kMsgOldOrCorrupt = 10651;  // "Unable to load %s - It is old or corrupt"
constexpr int32_t kMsgLoaded = 10652;        // "Loaded %s"
constexpr int32_t kMsgUnloaded = 10653;      // "Unloaded %s"
// What an exception inside the engine call counts as.
constexpr int32_t kEngineRaised = -7;

// Shows the busy cursor for as long as it lives.
class WaitCursor {
public:
    explicit WaitCursor(TZBCore& core) : core_(core) { core_.StartWaitCursor(); }
    ~WaitCursor() { core_.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    TZBCore& core_;
};

// Holds one load reason for a query, dropped again when it ends (also when it raises).
template <typename Load, typename Release>
class ReasonHold {
public:
    ReasonHold(Load load, Release release) : release_(release) { load(); }
    ~ReasonHold() {
        try {
            release_();
        } catch (...) {
            // A report handler that raises while the engine goes must not end the program.
        }
    }
    ReasonHold(const ReasonHold&) = delete;
    ReasonHold& operator=(const ReasonHold&) = delete;

private:
    Release release_;
};

std::string BuildText(int32_t build, const char* format) {
    char text[64];
    std::snprintf(text, sizeof text, format, build / 1000000, (build / 10000) % 100,
                  (build / 100) % 100, build % 100);
    return text;
}

// Writes `bytes` to the file: true when all were written.
bool WriteAll(platform::FileHandle file, const unsigned char* bytes, size_t size) {
    return size == 0 || platform::FileWrite(file, bytes, size) == static_cast<int64_t>(size);
}

}  // namespace

int32_t ResourceEngineBuild() {
    std::string text;
    if (!platform::LoadOwnString(kResEngineBuild, text)) return 0;
    text = text.substr(0, 7);
    if (text.empty()) return 0;
    size_t i = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (i == text.size()) return 0;
    for (size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return 0;
    return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10));
}

TZBDynamicBind::~TZBDynamicBind() {
    if (moduleHandle_) platform::CloseModule(moduleHandle_);
    moduleHandle_ = nullptr;
    ClearEntryPoints();
    RemoveTempDll();
}

void TZBDynamicBind::ClearEntryPoints() {
    moduleHandle_ = nullptr;
    zipExec_ = nullptr;
    unzExec_ = nullptr;
    abort_ = nullptr;
    privVersion_ = nullptr;
    version_ = nullptr;
    path_ = nullptr;
    dllVersion_ = 0;
    dllBuild_ = 0;
}

int32_t TZBDynamicBind::LoadDll(uint32_t reasons) {
    loadReasons_ = (loadReasons_ | reasons) & kAllLoadReasons;
    if (IsLoaded()) return dllVersion_;
    WaitCursor busy(*this);
    dllVersion_ = 0;

    if (dllDir_ == kResourceEngineDir) {
        LoadResourceEngineOnly();
        if (Verbose) ReportToUser(zacMessage, 0, 0, ZipFmtLoadStr(kMsgLoaded, {dllPath_}));
        return dllVersion_;
    }

    std::string path = tempDllPath_;
    if (path.empty() && !dllDir_.empty()) {
        path = PathConcat(dllDir_, kEngineFileName);
        // A relative folder is taken from the program's folder.
        if (dllDir_[0] == '.')
            path = PathConcat(platform::PathFolder(platform::ProgramFileName()), path);
        if (!platform::FileExists(path)) path.clear();
    }
    if (path.empty()) path = kEngineFileName;

    const int32_t resBuild = ResourceEngineBuild();
    const int32_t build = LoadModule(path, resBuild < kResourceEngineBuild);
    if (resBuild > build) {
        // A newer engine is carried in the resources, or the one on disk did not load.
        const std::string temp = ExtractResourceDll();
        const int32_t loaded = LoadModule(temp, false);
        ReleaseTempDllHold();
        if (loaded < kResourceEngineBuild) LoadModule(path, true);
    }
    if (Verbose) ReportToUser(zacMessage, 0, 0, ZipFmtLoadStr(kMsgLoaded, {dllPath_}));
    return dllVersion_;
}

void TZBDynamicBind::LoadResourceEngineOnly() {
    // A program that runs with administrator rights takes no module that lies beside it or is
    // found by name: when the carried engine cannot be written out or loaded, the load fails.
    if (tempDllPath_.empty()) ExtractResourceDll();
    if (tempDllPath_.empty()) {
        loadReasons_ = 0;
        throw EZipBuilder(kMsgLoadFailed, std::string(kEngineFileName));
    }
    try {
        LoadModule(tempDllPath_, true);
    } catch (...) {
        RemoveTempDll();
        throw;
    }
    ReleaseTempDllHold();
    // Written out and loaded once: the module stays loaded, and its file stays, until the
    // component goes or DLLDirectory changes. Later operations use it as it is, so nothing is
    // ever loaded from that path a second time.
    holdCarriedEngine_ = true;
}

void TZBDynamicBind::ReleaseTempDllHold() {
    CloseFileHandle(tempDllHold_);
}

int32_t TZBDynamicBind::LoadModule(const std::string& path, bool mustLoad) {
    if (moduleHandle_) platform::CloseModule(moduleHandle_);
    ClearEntryPoints();

    uint32_t error = 0;
    platform::ModuleHandle module = platform::OpenModule(path, &error);
    if (!module) {
        if (Verbose || Trace)
            ReportToUser(zacMessage, 0, 0,
                         ZipFormat("Error [%d %s] loading %s ",
                                   {error, platform::SystemErrorText(error), path}));
        ClearEntryPoints();
        if (mustLoad) {
            loadReasons_ = 0;
            throw EZipBuilder(kMsgLoadFailed, path);
        }
        return 0;
    }
    moduleHandle_ = module;

    // Each export is looked for only when the one before it was found.
    auto bind = [module](const char* name, auto& entry) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(
            platform::ModuleExport(module, name));
        return entry != nullptr;
    };
    if (bind("DZ_UnzExec", unzExec_) && bind("DZ_ZipExec", zipExec_) &&
        bind("DZ_Version", version_) && bind("DZ_PrivVersion", privVersion_) &&
        bind("DZ_Abort", abort_) && bind("DZ_Path", path_)) {
        dllBuild_ = privVersion_();
        dllVersion_ = version_();
        const char* where = path_();
        dllPath_ = where ? where : path;
    }
    if (path_ && dllVersion_ >= MinDllVersion && dllVersion_ <= MaxDllVersion) return dllBuild_;

    // An export is missing or the version is outside the accepted window.
    const std::string failed = dllPath_;
    platform::CloseModule(moduleHandle_);
    ClearEntryPoints();
    loadReasons_ = 0;
    if (mustLoad) throw EZipBuilder(kMsgOldOrCorrupt, failed);
    return 0;
}

std::string TZBDynamicBind::MakeTempDllName(platform::FileHandle& file) const {
    file = platform::kInvalidFileHandle;
    std::string folder = TempDir.empty() ? platform::TempFolder() : DelimitPath(TempDir, true);
    if (folder.empty()) return "";
    // The number comes from a temporary name of the system's, held until the engine's own file
    // is made; that file is made new, so a file left at its name (by a run that was killed, or
    // by anyone else) is never written into or loaded: another number is tried instead.
    std::vector<std::string> reserved;
    std::string name;
    for (int attempt = 0; attempt < 16 && file == platform::kInvalidFileHandle; ++attempt) {
        reserved.push_back(platform::CreateTempFileName(folder, "DZ_"));
        name = reserved.back();
        if (name.empty()) break;
        const size_t cut = name.find_last_of(".\\:");
        if (cut != std::string::npos && name[cut] == '.') name.erase(cut);
        name += ".dll";
        file = platform::FileCreatePrivate(name);
    }
    for (const std::string& r : reserved)
        if (!r.empty()) platform::RemoveFile(r);
    return file == platform::kInvalidFileHandle ? "" : name;
}

std::string TZBDynamicBind::ExtractResourceDll() {
    const int32_t resBuild = ResourceEngineBuild();
    if (resBuild <= kResourceEngineBuild) {
        if (Trace) ReportToUser(zacMessage, 0, 0, "No dll in resource");
        return tempDllPath_;
    }
    platform::ResourceBytes image;
    if (!platform::FindOwnResource(platform::kResourceRcData, kResEngineImage, image)) {
        // A build number without its image: there is no engine in the resources after all.
        if (Trace) ReportToUser(zacMessage, 0, 0, "No dll in resource");
        return tempDllPath_;
    }
    tempDllPath_.clear();
    if (image.size <= kMinResourceEngineSize) return tempDllPath_;
    platform::FileHandle file = platform::kInvalidFileHandle;
    tempDllPath_ = MakeTempDllName(file);
    if (tempDllPath_.empty()) return tempDllPath_;

    bool ok = false;
    try {
        if (image.data[0] == 'M' && image.data[1] == 'Z') {
            ok = WriteAll(file, image.data, image.size);
        } else {
            ByteSource source(image);
            std::vector<unsigned char> decoded;
            ok = LZ77Extract(source, static_cast<uint32_t>(image.size), decoded) ==
                     Lz77Status::kOk &&
                 WriteAll(file, decoded.data(), decoded.size());
        }
        if (Trace && ok)
            ReportToUser(zacMessage, 0, 0,
                         ZipFormat("extracted resource dll %s %d", {tempDllPath_, resBuild}));
    } catch (...) {
        ok = false;
    }
    // Held open for reading, writes denied, until the module is loaded from it: nobody can
    // change it between the write and the load. The writing handle denies the loader's open,
    // so it goes first; the file opened again must be the very one written.
    platform::FileIdentity written, held;
    ok = ok && platform::FileIdentityOf(file, written);
    CloseFileHandle(file);
    if (ok) {
        tempDllHold_ =
            platform::FileOpen(tempDllPath_, platform::FileAccess::kRead,
                               platform::FileShare::kDenyWrite, platform::FileDisposition::kOpenExisting);
        ok = platform::FileIdentityOf(tempDllHold_, held) && held == written;
        if (!ok) ReleaseTempDllHold();
    }
    // The file is ours: a partial one goes, and its name with it.
    if (!ok) {
        platform::RemoveFile(tempDllPath_);
        tempDllPath_.clear();
    }
    return tempDllPath_;
}

int32_t TZBDynamicBind::ReleaseDll(uint32_t reasons) {
    loadReasons_ &= ~reasons & kAllLoadReasons;
    if (loadReasons_ == 0 && !holdCarriedEngine_) UnloadModule();
    return dllVersion_;
}

void TZBDynamicBind::UnloadModule() {
    if (moduleHandle_) {
        const platform::ModuleHandle module = moduleHandle_;
        // The module goes even when a report handler raises.
        ClearEntryPoints();
        loadReasons_ = 0;
        try {
            if (Verbose) ReportToUser(zacMessage, 0, 0, ZipFmtLoadStr(kMsgUnloaded, {dllPath_}));
        } catch (...) {
            platform::CloseModule(module);
            if (deleteTempOnUnload_) RemoveTempDll();
            throw;
        }
        platform::CloseModule(module);
    }
    ClearEntryPoints();
    loadReasons_ = 0;
    if (deleteTempOnUnload_) RemoveTempDll();
}

void TZBDynamicBind::RemoveTempDll() {
    ReleaseTempDllHold();
    deleteTempOnUnload_ = false;
    if (!tempDllPath_.empty() && platform::FileExists(tempDllPath_))
        platform::RemoveFile(tempDllPath_);
    tempDllPath_.clear();
}

void TZBDynamicBind::SetDllDirectory(const std::string& value) {
    if (value == dllDir_) return;
    dllDir_ = DelimitPath(value, false);
    // The carried engine is no longer held for later operations: without a reason to keep it,
    // it goes now.
    if (holdCarriedEngine_) {
        holdCarriedEngine_ = false;
        if (loadReasons_ == 0) UnloadModule();
    }
    // A loaded temporary engine stays in use until it is unloaded.
    if (IsLoaded() && !tempDllPath_.empty())
        deleteTempOnUnload_ = true;
    else
        RemoveTempDll();
}

void TZBDynamicBind::SetLoaded(bool value) {
    if (value == IsLoaded()) return;
    if (value)
        LoadDll(LoadByProperty);
    else
        ReleaseDll(LoadByProperty);
}

int32_t TZBDynamicBind::CheckDllLoaded() {
    LoadDll(LoadForOperation);
    if (dllVersion_ < MinDllVersion) {
        ReleaseDll(kAllLoadReasons);
        throw EZipBuilder(kMsgOldOrCorrupt, dllPath_);
    }
    return dllVersion_;
}

// One engine command: the engine held for the call, an exception from inside it taken as a
// failure of its own, the abort value forgotten afterwards, negative results raised.
template <class Entry, class Command>
int32_t TZBDynamicBind::Execute(const Entry& entry, Command* command) {
    LoadDll(LoadForCall);
    int32_t result = kEngineRaised;
    try {
        result = entry(command);
    } catch (...) {
        result = kEngineRaised;
    }
    AbortHandle = 0;
    ReleaseDll(LoadForCall);
    CheckExecResult(result);
    return result;
}

int32_t TZBDynamicBind::UnzExec(UnzipCommand* command) {
    return Execute(unzExec_, command);
}

int32_t TZBDynamicBind::ZipExec(void* command) {
    return Execute(zipExec_, command);
}

void TZBDynamicBind::CheckExecResult(int32_t result) {
    switch (result) {
        case DZ_ERR_CANCELLED:
            throw EZipBuilder(kMsgDllCancelled, true);
        case DZ_ERR_ABORTING:
            throw EZipBuilder(kMsgDllAborting, true);
        case DZ_ERR_HANDLER:
            throw EZipBuilder(kMsgDllHandler, true);
        case DZ_ERR_MEMORY:
            throw EZipBuilder(kMsgDllMemory, true);
        case DZ_ERR_STRUCTURE:
            throw EZipBuilder(kMsgDllStructure, true);
        default:
            if (result < 0)
                throw EZipBuilder(kMsgDllCritical, FormatArgs{result});
    }
}

void TZBDynamicBind::AbortEngine() {
    SetCancel(true);
    if (IsLoaded() && abort_) abort_(AbortHandle);
}

int32_t TZBDynamicBind::GetDllBuild() {
    ReasonHold hold([this] { LoadDll(LoadForCall); }, [this] { ReleaseDll(LoadForCall); });
    return dllBuild_;
}

std::string TZBDynamicBind::GetDllPath() {
    ReasonHold hold([this] { LoadDll(LoadForCall); }, [this] { ReleaseDll(LoadForCall); });
    return dllPath_;
}

std::string TZBDynamicBind::GetDllVersionText() {
    if (dllVersion_ != 0) return BuildText(dllBuild_, " %d.%2.2d.%2.2d.%2.2d ");
    ReasonHold hold([this] { LoadDll(LoadForCall); }, [this] { ReleaseDll(LoadForCall); });
    return BuildText(dllBuild_, "[%d.%2.2d.%2.2d.%2.2d]");
}

}  // namespace archive
