// The core of the archive component's worker: the event handlers, the error state, progress
// details, the busy cursor and the one report operation (ReportToUser) through which the
// directory reader, the extraction and the engine callback tell the program what happens.
//
// Every report ends with a tail: the program's OnCheckTerminate handler is asked whether to
// stop, or, without one, the application processes its pending window messages once, so the
// window stays responsive while the component works on the user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/Ezipbuilder.h"
#include "archive/Zbdlg.h"
#include "archive/Zipprogress.h"
#include "ui/Component.h"

namespace archive {

struct ZipDirEntry;

// Why the engine skipped an entry (its own numbering, handed through unchanged).
using UnZipSkipTypes = int32_t;
// Multi-part disk prompts.
enum TZipDiskStatusEnum : int32_t {
    zdsEmpty,
    zdsHasFiles,
    zdsPreviousDisk,
    zdsSameFileName,
    zdsNotEnoughSpace
};
using TZipDiskStatus = uint8_t;  // a set of TZipDiskStatusEnum
enum TZipDiskAction : int32_t { zdaOk, zdaErase, zdaReject, zdaCancel };

// The component's events. Sender is always the component. Texts are in the ANSI code page.
using TZipNotifyEvent = std::function<void(ui::Component* Sender)>;
using TZipCheckTerminateEvent = std::function<void(ui::Component* Sender, bool& abort)>;
using TZipCopyZipOverwriteEvent =
    std::function<void(ui::Component* Sender, const std::string& ForFile, bool& DoOverwrite)>;
using TZipCRC32ErrorEvent =
    std::function<void(ui::Component* Sender, const std::string& ForFile, uint32_t FoundCRC,
                       uint32_t ExpectedCRC, bool& DoExtract)>;
using TZipExtractOverwriteEvent =
    std::function<void(ui::Component* Sender, const std::string& ForFile, bool IsOlder,
                       bool& DoOverwrite, int32_t DirIndex)>;
using TZipExtractSkippedEvent = std::function<void(
    ui::Component* Sender, const std::string& ForFile, UnZipSkipTypes SkipType, int32_t ExtError)>;
using TZipFileCommentEvent = std::function<void(ui::Component* Sender, const std::string& ForFile,
                                                std::string& FileComment, bool& IsChanged)>;
using TZipGetNextDiskEvent =
    std::function<void(ui::Component* Sender, int32_t DiskSeqNo, int32_t DiskTotal,
                       const std::string& Drive, bool& Cancel)>;
using TZipItemProgressEvent = std::function<void(ui::Component* Sender, const std::string& Item,
                                                 uint32_t TotalSize, int32_t PerCent)>;
using TZipMessageEvent =
    std::function<void(ui::Component* Sender, int32_t ErrCode, const std::string& Message)>;
using TZipNewNameEvent =
    std::function<void(ui::Component* Sender, int32_t SeqNo, const ZipDirEntry& ZipEntry)>;
using TZipPasswordErrorEvent =
    std::function<void(ui::Component* Sender, bool IsZipAction, std::string& NewPassword,
                       const std::string& ForFile, uint32_t& RepeatCount, TMsgDlgBtn& Action)>;
using TZipProgressEvent = std::function<void(ui::Component* Sender, ProgressType ProgrType,
                                             const std::string& Filename, int64_t FileSize)>;
using TZipProgressDetailsEvent =
    std::function<void(ui::Component* Sender, TProgressDetails& Details)>;
using TZipSetAddNameEvent = std::function<void(ui::Component* Sender, std::string& FileName,
                                               const std::string& ExtName, bool& IsChanged)>;
using TZipSetNameEvent =
    std::function<void(ui::Component* Sender, std::string& Filename, bool& IsChanged)>;
using TZipStatusDiskEvent =
    std::function<void(ui::Component* Sender, int32_t PreviousDisk, const std::string& PreviousFile,
                       TZipDiskStatus Status, TZipDiskAction& Action)>;
using TZipTotalProgressEvent =
    std::function<void(ui::Component* Sender, int64_t TotalSize, int32_t PerCent)>;
using TZipDialogEvent =
    std::function<void(ui::Component* Sender, const std::string& Title, std::string& msg,
                       int32_t& Context, TMsgDlgButtons Btns)>;

// The handler slots, shared by the component's event properties and its worker.
struct TZipEvents {
    TZipCheckTerminateEvent OnCheckTerminate;
    TZipCopyZipOverwriteEvent OnCopyZipOverwrite;
    TZipCRC32ErrorEvent OnCRC32Error;
    TZipNotifyEvent OnDirUpdate;
    TZipExtractOverwriteEvent OnExtractOverwrite;
    TZipExtractSkippedEvent OnExtractSkipped;
    TZipFileCommentEvent OnFileComment;
    TZipFileCommentEvent OnFileExtra;
    TZipGetNextDiskEvent OnGetNextDisk;
    TZipItemProgressEvent OnItemProgress;
    TZipMessageEvent OnMessage;
    TZipNewNameEvent OnNewName;
    TZipPasswordErrorEvent OnPasswordError;
    TZipProgressEvent OnProgress;
    TZipProgressDetailsEvent OnProgressDetails;
    TZipSetAddNameEvent OnSetAddName;
    TZipSetNameEvent OnSetExtName;
    TZipSetNameEvent OnSetNewName;
    TZipStatusDiskEvent OnStatusDisk;
    TZipNotifyEvent OnTick;
    TZipTotalProgressEvent OnTotalProgress;
    TZipDialogEvent OnZipDialog;
};

// Report types of ReportToUser.
enum : int32_t {
    zacTick = 0,
    zacItem = 1,
    zacProgress = 2,
    zacEndOfBatch = 3,
    zacMessage = 4,
    zacCount = 5,
    zacSize = 6,
    zacXItem = 15,
    zacXProgress = 16,
    zacNone = 19,  // the tail only
};

class TZBCore {
public:
    TZBCore();
    virtual ~TZBCore() = default;
    TZBCore(const TZBCore&) = delete;
    TZBCore& operator=(const TZBCore&) = delete;

    // Overridable steps, in the order the component's class chain declares them.
    // A report type without a case of its own; does nothing here.
    virtual void HandleOtherReport(int32_t type, int32_t code, int64_t size,
                                   const std::string& text);
    virtual void SetCancel(bool value);
    // From the component's end step: the operation is over; a busy cursor left shown goes.
    virtual void FinishOperation();
    // From the component's start check: clears the re-entry mark and marks an operation as
    // running; a caller off the program's main thread works in background mode.
    virtual void StartOperation();

    // Turns one happening into the program's events (see the table in ZBCore.cpp), then runs the
    // tail. Does nothing at all while reports are suppressed. Exceptions from handlers pass.
    void ReportToUser(int32_t type, int32_t code, int64_t size, const std::string& text);

    // Message `id` followed directly by `extra`: recorded as the error state, shown in the
    // dialog unless unattended, passed to OnMessage. Unattended without an OnMessage handler it
    // does nothing at all.
    void ShowZipMessage(int32_t id, const std::string& extra);
    // An error raised inside an operation: recorded, shown in the dialog when the error asks for
    // it and the component is not unattended, passed to OnMessage.
    void ShowExceptionError(const EZipBuilder& e);

    // Every dialog of the component: offered to OnZipDialog first (an answer from 1 to 10
    // settles it), else shown by the component's own dialog box. An empty title is the
    // application's; a verbose component decorates it with the context and reports it.
    // `message` is in/out (the password in the password kind).
    int ZipMessageDialog(const std::string& title, std::string& message, TMsgDlgButtons buttons,
                         int32_t kindContext);
    // Asks the user for an extraction password. Unattended: reports that none was given and
    // returns "" with `answer` unchanged. Otherwise `answer` becomes mbOK (with the password),
    // mbCancel, mbNoToAll or mbAbort.
    std::string GetExtrPassword(TMsgDlgBtn& answer);

    // A second operation was refused because one runs.
    void NoteReentry();
    // The end of clearing the worker: the built-in language, an empty error state and details.
    void ResetCore();

    // The hourglass over the program's windows, nested; nothing in background mode.
    void StartWaitCursor();
    void EndWaitCursor();

    ui::Component* Sender = nullptr;
    TZipEvents Events;

    int32_t ErrCode = -1;
    std::string ErrMessage;
    int32_t FullErrCode = 0;
    bool Unattended = true;
    bool Verbose = false;
    bool Trace = false;
    std::string TempDir;
    bool BackgroundMode = false;
    bool OperationRunning = false;
    bool ReentryMark = false;
    bool ReportsSuppressed = false;
    std::string CallbackFailure;
    // Written only while writing multi-part archives; emptied at each start.
    uint8_t SpanState = 0;

    bool Cancel() const { return cancel_; }
    TProgDetails& Details() { return details_; }
    int CursorDepth() const { return cursorDepth_; }

protected:
    bool cancel_ = false;

private:
    void UpdateErrorState(int32_t code, std::string& message);
    void Tail();

    TProgDetails details_;
    int cursorDepth_ = 0;
    int savedCursor_ = 0;
};

}  // namespace archive
