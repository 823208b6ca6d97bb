// The zip archive component that sits on the setup window (ZipBuilder1): its properties, the
// start check and end step that bracket every operation, and its events. The work is done by
// the worker it owns (ZBWrkr.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ZBWrkr.h"
#include "ui/Component.h"

namespace archive {

// Self-extracting archive settings (kept for the form; the program makes none).
enum SFXOptsEnum : int32_t {
    SFXAskCmdLine,
    SFXAskFiles,
    SFXAutoRun,
    SFXHideOverWriteBox,
    SFXMakeAuto,
    SFXNoSuccessMsg,
    SFXExpandVariables,
    SFXInitialShowHide,
    SFXCheckSize,
    SFXOptsCount
};
using SFXOpts = uint32_t;
enum OvrOpts : int32_t { OvrConfirm = 0, OvrAlways = 1, OvrNever = 2 };

class TCustomZipBuilder : public ui::Component {
public:
    TCustomZipBuilder(ui::Component* owner, std::string name);
    ~TCustomZipBuilder() override;

    static constexpr const char* kVersion = "1.79.08.01";
    static constexpr int32_t kBuild = 1790801;

    // --- Lifecycle -------------------------------------------------------------------------
    void Loaded() override;
    bool Active() const { return activeState_ != 0; }
    void SetActive(bool value);
    bool Busy() const { return busy_; }
    bool Reentered() const { return reentered_; }

    // --- The bracket around every operation -------------------------------------------------
    // 0 when an operation may run; -256 while designing or loading; -255 when inactive or
    // busy; the message number of an error raised while starting; -9 for any other failure.
    int32_t Starting();
    void Done();
    // True when no operation runs; otherwise notes the re-entry and answers false.
    bool Stopped();

    // --- Operations ------------------------------------------------------------------------
    // Closes the archive and resets the working state.
    void Clear();
    const std::string& ZipFileName() const { return worker_->ZipFileName(); }
    // Opens the archive and reads its directory; a busy or inactive component keeps the old one.
    void SetFileName(const std::string& name);
    // A temporary file name that no file has yet: the folder of TempDir or the system's, the
    // first three characters of `prefix` ("zip" when empty), a number, and `extension` (".zip"
    // when empty) in place of the system's ".TMP". "" when no name can be made.
    std::string MakeTempFileName(const std::string& prefix, const std::string& extension);
    TZipStream& ZipStream() { return worker_->ZipStream(); }
    // Extracts the entries FSpecArgs names (all when it is empty) under ExtrBaseDir with
    // ExtrOptions: the start check's code when that fails, else ErrCode (0 for success).
    int32_t Extract();
    // Extracts one entry (`name`, or the first of FSpecArgs for "") into ZipStream: ZipStream,
    // or nullptr when the start check fails or not exactly one entry was extracted.
    TZipStream* ExtractFileToStream(const std::string& name);
    // Extracts archive data held in `source` into ZipStream, expected to take `size` bytes.
    TZipStream* ExtractStreamToStream(TZipStream* source, uint32_t size);

    // --- Error state -----------------------------------------------------------------------
    int32_t GetErrCode() const;
    std::string GetErrMessage() const;
    int32_t GetFullErrCode() const { return worker_->FullErrCode; }
    // Sets the error number unless busy (then it notes the re-entry and answers false).
    bool SetErrCode(int32_t value);
    void ShowZipMessage(int32_t id, const std::string& extra) {
        worker_->ShowZipMessage(id, extra);
    }
    void ShowExceptionError(const EZipBuilder& e) { worker_->ShowExceptionError(e); }

    bool Cancel() const { return worker_->Cancel(); }
    void SetCancel(bool value) { worker_->SetCancel(value); }

    // --- Directory -------------------------------------------------------------------------
    int32_t Count() const { return Active() ? worker_->Count() : 0; }
    const ZipDirEntry& DirEntry(int32_t index) const { return worker_->Entry(index); }
    const std::vector<std::unique_ptr<ZipDirEntry>>& ZipContents() const {
        return worker_->ZipContents();
    }
    const std::string& ZipComment() const { return worker_->ZipComment(); }
    uint32_t ZipEOC() const { return worker_->ZipEOC(); }
    uint32_t ZipSOC() const { return worker_->ZipSOC(); }
    uint32_t SFXOffset() const { return worker_->SFXOffset(); }
    uint32_t RealFileSize() const { return worker_->RealFileSize(); }
    bool IsSpanned() const { return worker_->IsSpanned(); }
    int32_t SuccessCnt() const { return worker_->SuccessCnt(); }

    // --- Published properties --------------------------------------------------------------
    std::vector<std::string>& FSpecArgs() { return fSpecArgs_; }
    void SetFSpecArgs(const std::vector<std::string>& v) { fSpecArgs_ = v; }
    std::vector<std::string>& FSpecArgsExcl() { return fSpecArgsExcl_; }
    void SetFSpecArgsExcl(const std::vector<std::string>& v) { fSpecArgsExcl_ = v; }
    uint32_t PasswordReqCount() const { return passwordReqCount_; }
    // Values above 15 are stored as 15.
    void SetPasswordReqCount(uint32_t value) { passwordReqCount_ = value > 15 ? 15 : value; }
    std::string Language() const;
    void SetLanguage(const std::string& value);
    bool Dll_Load() const { return worker_->IsLoaded(); }
    void SetDll_Load(bool value);
    // The engine: its path, its build as text (" 1.79.08.01 " while loaded, "[1.79.08.01]" when
    // loaded only for the question) and as a number. A missing engine is reported as any
    // failure is and gives "" or 0.
    std::string Dll_Path();
    std::string Dll_Version();
    int32_t Dll_Build();
    // Asks a running engine to stop (and sets Cancel).
    void AbortDll() { worker_->AbortEngine(); }
    std::string Version() const { return kVersion; }
    std::string VersionInfo() const { return kVersion; }
    int32_t Build() const { return kBuild; }

    std::string ExtrBaseDir;
    ExtrOpts ExtrOptions = 0;
    std::string Password;
    std::string TempDir;
    bool Unattended = false;
    bool Verbose = false;
    bool Trace = false;
    std::string DLLDirectory;
    CPOpts CodePage = cpAuto;
    std::string RootDir;
    bool UseDirOnlyEntries = false;
    bool BackgroundMode = false;
    // Passed to the engine with each command; the program's main window.
    void* WindowHandle = nullptr;

    // Settings of the writing operations, kept with their initial values.
    int32_t AddCompLevel = 9;
    int32_t AddFrom = 0;
    AddOpts AddOptions = 0;
    AddStoreSuffixSet AddStoreSuffixes = kDefaultStoreSuffixes;
    std::string ExtAddStoreSuffixes;
    DeleteOpts HowToDelete = htdAllowUndo;
    bool ConfirmErase = true;
    int32_t KeepFreeOnAllDisks = 0;
    int32_t KeepFreeOnDisk1 = 0;
    int32_t MaxVolumeSize = 0;
    int32_t MinFreeVolumeSize = 65536;
    SpanOpts SpanOptions = 0;
    std::string SFXCaption = "Self-extracting Archive";
    std::string SFXCommandLine;
    std::string SFXDefaultDir;
    std::string SFXLanguage = "US";
    std::string SFXMessage;
    SFXOpts SFXOptions = 1u << SFXCheckSize;
    OvrOpts SFXOverWriteMode = OvrConfirm;
    std::string SFXPath;

    // --- Events: the worker's handler slots, shared with it ----------------------------------
    TZipEvents& Events() { return worker_->Events; }
#define ZIP_EVENT_PROPERTY(Type, Name)             \
    const Type& Get##Name() const {                \
        return worker_->Events.Name;               \
    }                                              \
    void Set##Name(Type handler) {                 \
        worker_->Events.Name = std::move(handler); \
    }
    ZIP_EVENT_PROPERTY(TZipCheckTerminateEvent, OnCheckTerminate)
    ZIP_EVENT_PROPERTY(TZipCopyZipOverwriteEvent, OnCopyZipOverwrite)
    ZIP_EVENT_PROPERTY(TZipCRC32ErrorEvent, OnCRC32Error)
    ZIP_EVENT_PROPERTY(TZipNotifyEvent, OnDirUpdate)
    ZIP_EVENT_PROPERTY(TZipExtractOverwriteEvent, OnExtractOverwrite)
    ZIP_EVENT_PROPERTY(TZipExtractSkippedEvent, OnExtractSkipped)
    ZIP_EVENT_PROPERTY(TZipFileCommentEvent, OnFileComment)
    ZIP_EVENT_PROPERTY(TZipFileCommentEvent, OnFileExtra)
    ZIP_EVENT_PROPERTY(TZipGetNextDiskEvent, OnGetNextDisk)
    ZIP_EVENT_PROPERTY(TZipItemProgressEvent, OnItemProgress)
    ZIP_EVENT_PROPERTY(TZipMessageEvent, OnMessage)
    ZIP_EVENT_PROPERTY(TZipNewNameEvent, OnNewName)
    ZIP_EVENT_PROPERTY(TZipPasswordErrorEvent, OnPasswordError)
    ZIP_EVENT_PROPERTY(TZipProgressEvent, OnProgress)
    ZIP_EVENT_PROPERTY(TZipProgressDetailsEvent, OnProgressDetails)
    ZIP_EVENT_PROPERTY(TZipSetAddNameEvent, OnSetAddName)
    ZIP_EVENT_PROPERTY(TZipSetNameEvent, OnSetExtName)
    ZIP_EVENT_PROPERTY(TZipSetNameEvent, OnSetNewName)
    ZIP_EVENT_PROPERTY(TZipStatusDiskEvent, OnStatusDisk)
    ZIP_EVENT_PROPERTY(TZipNotifyEvent, OnTick)
    ZIP_EVENT_PROPERTY(TZipTotalProgressEvent, OnTotalProgress)
    ZIP_EVENT_PROPERTY(TZipDialogEvent, OnZipDialog)
#undef ZIP_EVENT_PROPERTY

    // The worker, for the operations built on it.
    TZBWorker& Worker() {
        return *worker_;
    }

    void SetProperty(const std::string& prop, const ui::PropValue& value,
                     const ui::HandlerTable& handlers) override;

private:
    // Copies the component's settings into the worker (the start check's third step).
    void CopySettingsToWorker();
    // Takes over TempDir: a changed, non-empty folder must be on a fixed or RAM disk.
    void TakeOverTempDir();

    std::unique_ptr<TZBWorker> worker_;
    // 0 inactive, 1 active, 2 activate when loading ends, 3 active while designing, -1
    // deactivate when the running operation finishes.
    int32_t activeState_ = 0;
    bool busy_ = false;
    bool reentered_ = false;
    bool dllLoad_ = false;
    uint32_t passwordReqCount_ = 1;
    std::string language_;
    std::vector<std::string> fSpecArgs_;
    std::vector<std::string> fSpecArgsExcl_;
};

class TZipBuilder : public TCustomZipBuilder {
public:
    using TCustomZipBuilder::TCustomZipBuilder;
};

// Makes TZipBuilder known to form descriptions.
void RegisterZipBuilderClass();

}  // namespace archive
