#include "archive/ZBCore.h"

#include <thread>

#include "archive/Zbmsgstr.h"
#include "platform/Text.h"
#include "ui/Application.h"

namespace archive {

namespace {

// Static initialisation runs on the thread that starts the program.
const std::thread::id mainThread = std::this_thread::get_id();

uint32_t Low32(int64_t v) {
    return static_cast<uint32_t>(static_cast<uint64_t>(v));
}

// The end of a batch: what the item and total percentages report.
constexpr int32_t kBatchDonePerCent = 101;

}  // namespace

TZBCore::TZBCore() {
    details_.Reset();
}

void TZBCore::HandleOtherReport(int32_t, int32_t, int64_t, const std::string&) {}

void TZBCore::SetCancel(bool value) {
    cancel_ = value;
}

void TZBCore::FinishOperation() {
    OperationRunning = false;
    if (!BackgroundMode && cursorDepth_ > 0) {
        cursorDepth_ = 0;
        ui::Application::Instance().SetScreenCursor(savedCursor_);
    }
}

void TZBCore::StartOperation() {
    ReentryMark = false;
    OperationRunning = true;
    SpanState = 0;
    if (std::this_thread::get_id() != mainThread) BackgroundMode = true;
}

void TZBCore::ReportToUser(int32_t type, int32_t code, int64_t size, const std::string& text) {
    if (ReportsSuppressed) return;
    const TZipEvents& ev = Events;
    TProgDetails& d = details_;
    switch (type) {
        case zacTick:
            if (ev.OnTick) ev.OnTick(Sender);
            break;
        case zacItem:
            if (ev.OnProgress) ev.OnProgress(Sender, ptItemStart, text, size);
            d.ItemStarted(text, size);
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnItemProgress) ev.OnItemProgress(Sender, d.ItemName, Low32(size), 0);
            break;
        case zacProgress:
            if (ev.OnProgress) ev.OnProgress(Sender, ptItemUpdate, "", size);
            d.ItemAdvanced(size);
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnItemProgress)
                ev.OnItemProgress(Sender, d.ItemName, d.ItemPosition, d.GetItemPerCent());
            if (ev.OnTotalProgress)
                ev.OnTotalProgress(Sender, d.TotalSize, static_cast<int32_t>(d.GetTotalPerCent()));
            break;
        case zacEndOfBatch:
            if (ev.OnProgress) ev.OnProgress(Sender, ptBatchEnd, "", 0);
            d.BatchEnded();
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnItemProgress) ev.OnItemProgress(Sender, "", 0, kBatchDonePerCent);
            if (ev.OnTotalProgress) ev.OnTotalProgress(Sender, 0, kBatchDonePerCent);
            break;
        case zacMessage: {
            std::string message = text;
            UpdateErrorState(code, message);
            if (ev.OnMessage) ev.OnMessage(Sender, code, message);
            break;
        }
        case zacCount:
            d.ItemsAnnounced(size);
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnProgress) ev.OnProgress(Sender, ptTotalItems, "", size);
            break;
        case zacSize:
            d.BytesAnnounced(size);
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnProgress) ev.OnProgress(Sender, ptTotalSize, "", size);
            break;
        case zacXItem:
            if (ev.OnProgress) ev.OnProgress(Sender, ptStageStart, text, size);
            // A stage number from the engine may be anything; one outside the table has no name.
            d.StageStarted(code >= 0 && code <= kLastProgressStage
                               ? ZipLoadStr(kMsgProgressBase + code)
                               : std::string(),
                           size);
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnItemProgress) ev.OnItemProgress(Sender, d.ItemName, Low32(size), 0);
            break;
        case zacXProgress:
            if (ev.OnProgress) ev.OnProgress(Sender, ptStageUpdate, d.ItemName, size);
            d.StageAdvanced(size);
            if (ev.OnProgressDetails) ev.OnProgressDetails(Sender, d);
            if (ev.OnItemProgress)
                ev.OnItemProgress(Sender, d.ItemName, d.ItemSize, d.GetItemPerCent());
            break;
        case zacNone:
            break;
        default:
            HandleOtherReport(type, code, size, text);
            break;
    }
    Tail();
}

// An engine message with a non-zero code is an error: it becomes the error state. The low byte
// of the code is the error number; 9 after an event handler failed names that failure instead.
void TZBCore::UpdateErrorState(int32_t code, std::string& message) {
    if (code == 0) return;
    ErrMessage = message;
    ErrCode = static_cast<int8_t>(code & 0xFF);
    if (ErrCode == 9 && !CallbackFailure.empty()) {
        ErrMessage = ZipFmtLoadStr(kMsgEventFailed, {CallbackFailure});
        message = ErrMessage;
    }
    FullErrCode = code;
}

void TZBCore::Tail() {
    if (Events.OnCheckTerminate) {
        bool abort = cancel_;
        Events.OnCheckTerminate(Sender, abort);
        if (abort) SetCancel(true);
    } else if (!BackgroundMode) {
        ui::Application& app = ui::Application::Instance();
        if (app.Initialized()) app.ProcessMessages();
    }
}

void TZBCore::ShowZipMessage(int32_t id, const std::string& extra) {
    if (Unattended && !Events.OnMessage) return;
    const std::string text = ZipLoadStr(id) + extra;
    ErrMessage = text;
    ErrCode = id;
    if (!Unattended) {
        std::string shown = text;
        ZipMessageDialog("", shown, DlgButton(mbOK), zmtInformation | kContextMessage);
    }
    if (Events.OnMessage) Events.OnMessage(Sender, ErrCode, text);
}

void TZBCore::ShowExceptionError(const EZipBuilder& e) {
    ErrCode = e.MessageId();
    ErrMessage = e.Message();
    if (e.ShowDialog() && !Unattended) {
        std::string shown = ErrMessage;
        ZipMessageDialog("", shown, DlgButton(mbOK), zmtError | kContextException);
    }
    if (Events.OnMessage) Events.OnMessage(Sender, ErrCode, ErrMessage);
}

int TZBCore::ZipMessageDialog(const std::string& title, std::string& message,
                              TMsgDlgButtons buttons, int32_t kindContext) {
    std::string caption = title;
    if (caption.empty()) caption = platform::Utf16ToAnsi(ui::Application::Instance().Title());
    if (Verbose) {
        caption = ZipFormat("%s   (%d)", {caption, DialogContext(kindContext)});
        ReportToUser(zacMessage, 0, 0, caption);
    }
    if (Events.OnZipDialog) {
        std::string msg = message;
        int32_t context = kindContext;
        Events.OnZipDialog(Sender, caption, msg, context, buttons);
        if (context >= mrOk && context <= mrYesToAll) {
            message = msg;
            return context;
        }
    }
    return ShowZipDialogBox(caption, message, buttons, kindContext);
}

std::string TZBCore::GetExtrPassword(TMsgDlgBtn& answer) {
    if (Unattended) {
        ShowZipMessage(kMsgNoExtractPassword, "");
        return "";
    }
    std::string password = ZipLoadStr(kMsgEnterPassword);
    const int result = ZipMessageDialog(ZipLoadStr(kMsgPasswordTitle), password,
                                        DlgButton(mbOK) | DlgButton(mbCancel) | DlgButton(mbAll),
                                        zmtPassword | kContextExtractPassword);
    switch (result) {
        case mrOk:
            answer = mbOK;
            return password;
        case mrCancel:
            answer = mbCancel;
            break;
        case mrAll:
            answer = mbNoToAll;
            break;
        default:
            answer = mbAbort;
            break;
    }
    return "";
}

void TZBCore::NoteReentry() {
    ReentryMark = true;
    if (Verbose) ReportToUser(zacMessage, 0, 0, "Re-entry");
}

void TZBCore::ResetCore() {
    ZipSelectLanguage("");
    ReentryMark = false;
    ErrMessage.clear();
    SetCancel(false);
    ErrCode = 0;
    FullErrCode = 0;
    Unattended = false;
    Verbose = false;
    Trace = false;
    details_.Reset();
    CallbackFailure.clear();
    ReportsSuppressed = false;
}

void TZBCore::StartWaitCursor() {
    if (BackgroundMode) return;
    if (cursorDepth_ == 0) {
        ui::Application& app = ui::Application::Instance();
        savedCursor_ = app.ScreenCursor();
        app.SetScreenCursor(ui::kCrHourGlass);
    }
    ++cursorDepth_;
}

void TZBCore::EndWaitCursor() {
    if (BackgroundMode || cursorDepth_ == 0) return;
    if (--cursorDepth_ == 0) ui::Application::Instance().SetScreenCursor(savedCursor_);
}

}  // namespace archive
