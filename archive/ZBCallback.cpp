// The engine's callbacks: while DZ_UnzExec runs, the engine calls back for every progress step,
// message, question and request. Progress and messages go to ReportToUser; questions go to the
// component's events and their answers are written back into the engine's record.
#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "archive/ZBWrkr.h"
#include "archive/Zbmsgstr.h"
#include "archive/Ziputils.h"

namespace archive {

namespace {

constexpr int32_t kMsgUnknownError = 10125;  // " Unknown error %d"
constexpr int32_t kMsgSkipped = 10126;       // "Skipped %s %d"
// The longest reply text for names, and for comments and extra data.
constexpr size_t kMaxReplyName = 512;
constexpr size_t kMaxReplyComment = 511;
// The most password requests the engine is told it may still make.
constexpr uint32_t kMaxRepeatCount = 15;
// The age word that makes IsOlder false.
constexpr int32_t kAgeNotOlder = 2;

std::string Text(const char* p) {
    return p ? std::string(p) : std::string();
}

// The first `limit` bytes of `text` and a zero into the reply area.
void WriteReply(CallbackRecord* record, const std::string& text, size_t limit) {
    const size_t n = std::min({text.size(), limit, sizeof record->Data.Reply - 1});
    std::memcpy(record->Data.Reply, text.data(), n);
    record->Data.Reply[n] = '\0';
}

bool EndsInDelimiter(const std::string& name) {
    return !name.empty() && (name.back() == '\\' || name.back() == '/');
}

}  // namespace

int32_t DZ_CALL TZBWorker::EngineCallback(void* caller, CallbackRecord* record) {
    TZBWorker* worker = static_cast<TZBWorker*>(caller);
    if (!worker) return DZ_CB_CANCEL;
    try {
        if (record) worker->HandleEngineCallback(record);
        if (!worker->CallbackFailure.empty()) return DZ_CB_HANDLER_FAILED;
        return worker->Cancel() ? DZ_CB_CANCEL : DZ_CB_CONTINUE;
    } catch (...) {
        // Only running out of memory while recording a failure gets here; the engine must
        // stop all the same, and nothing may unwind into it.
        return DZ_CB_HANDLER_FAILED;
    }
}

void TZBWorker::HandleEngineCallback(CallbackRecord* record) {
    // While the worker is being cleared or destroyed, nothing reaches the program.
    if (ReportsSuppressed) return;
    const int32_t action = record->ActionReply & DZ_ACT_MASK;
    const bool add = record->AddFlag != 0;
    if (action == DZ_ACT_ABORT_VALUE) {
        AbortHandle = record->Number;
        return;
    }
    try {
        const std::string fileName = SetSlash(Text(record->Name), psdBackslash);
        const int64_t size = record->Data.In.Size;
        switch (action) {
            case DZ_ACT_TICK:
                ReportToUser(zacTick, 0, 0, "");
                return;
            case DZ_ACT_ITEM:
            case DZ_ACT_PROGRESS:
            case DZ_ACT_END_OF_BATCH:
                if (add) Details().BytesWritten = record->Data.In.Written;
                ReportToUser(action, 0, size, action == DZ_ACT_ITEM ? fileName : "");
                return;
            case DZ_ACT_MESSAGE:
                ReportToUser(zacMessage, record->Number, 0, fileName);
                return;
            case DZ_ACT_COUNT:
                ReportToUser(zacCount, 0, static_cast<int64_t>(record->Number), "");
                return;
            case DZ_ACT_SIZE:
                ReportToUser(zacSize, 0, size, "");
                return;
            case DZ_ACT_XITEM:
                ReportToUser(zacXItem, record->Number, size, fileName);
                return;
            case DZ_ACT_XPROGRESS:
                ReportToUser(zacXProgress, record->Number, size, "");
                return;
            case DZ_ACT_NEW_NAME:
            case DZ_ACT_PASSWORD:
            case DZ_ACT_CRC_ERROR:
            case DZ_ACT_OVERWRITE:
            case DZ_ACT_SKIPPED:
            case DZ_ACT_COMMENT:
            case DZ_ACT_STREAM_SIZE:
            case DZ_ACT_EXTRA_DATA:
            case DZ_ACT_EXT_NAME:
                CallbackAnswer(record, action, add, fileName);
                ReportToUser(zacNone, 0, 0, "");
                return;
            default:
                return;  // actions the component does not know
        }
    } catch (const std::exception& e) {
        if (CallbackFailure.empty())
            CallbackFailure = " #" + std::to_string(action) + " \"" + e.what() + "\"";
        SetCancel(true);
    } catch (...) {
        if (CallbackFailure.empty()) CallbackFailure = " #" + std::to_string(action) + " \"\"";
        SetCancel(true);
    }
}

void TZBWorker::CallbackAnswer(CallbackRecord* record, int32_t action, bool add,
                               const std::string& fileName) {
    switch (action) {
        case DZ_ACT_PASSWORD:
            CallbackPassword(record, add, fileName);
            break;
        case DZ_ACT_CRC_ERROR:
            if (Events.OnCRC32Error) {
                bool doExtract = true;
                Events.OnCRC32Error(Sender, fileName, static_cast<uint32_t>(record->Number),
                                    static_cast<uint32_t>(record->Data.In.Number2), doExtract);
                record->ActionReply = doExtract ? DZ_REPLY_YES : DZ_REPLY_NO_TO_ALL;
            }
            break;
        case DZ_ACT_OVERWRITE:
            // Without a handler the engine follows the overwrite word of its command.
            if (Events.OnExtractOverwrite) {
                bool doOverwrite = record->Number != 0;
                // The engine counts every central record; DirIndex counts as ZipContents does.
                Events.OnExtractOverwrite(Sender, fileName, record->Data.In.Age != kAgeNotOlder,
                                          doOverwrite, ContentsIndex(record->Data.In.Number2));
                record->ActionReply = doOverwrite ? DZ_REPLY_YES : DZ_REPLY_NO;
            }
            break;
        case DZ_ACT_SKIPPED: {
            int32_t error = record->Number;
            const int32_t reason = record->Data.In.Number2;
            if (error != 0) {
                FullErrCode = error;
                error &= 0xFF;
            }
            if (Events.OnExtractSkipped)
                Events.OnExtractSkipped(Sender, fileName, reason - 1, error);
            else if (Events.OnMessage)
                Events.OnMessage(Sender, kMsgUnknownError,
                                 ZipFmtLoadStr(kMsgSkipped, {fileName, (reason & 0xFF) - 1}));
            break;
        }
        case DZ_ACT_COMMENT:
            if (Events.OnFileComment) {
                std::string comment = Text(static_cast<const char*>(record->Data.In.Second));
                bool changed = false;
                Events.OnFileComment(Sender, fileName, comment, changed);
                if (changed) {
                    WriteReply(record, comment, kMaxReplyComment);
                    record->ActionReply = DZ_REPLY_YES;
                    record->Number =
                        static_cast<int32_t>(std::min(comment.size(), kMaxReplyComment));
                }
            }
            break;
        case DZ_ACT_STREAM_SIZE: {
            // The command's output size is a 32-bit word, so no block may be larger.
            const int64_t wanted = record->Data.In.Size;
            bool ok = wanted >= 0 && static_cast<uint64_t>(wanted) <= UINT32_MAX;
            if (ok) {
                try {
                    zipStream_.SetSize(wanted);
                } catch (const std::bad_alloc&) {
                    ok = false;
                } catch (const std::length_error&) {
                    ok = false;
                }
            }
            if (ok) {
                record->Data.In.Second = zipStream_.Memory();
                record->ActionReply = DZ_REPLY_YES;
            } else {
                record->ActionReply = DZ_REPLY_NO;
                record->Data.In.Size = 0;
            }
            break;
        }
        case DZ_ACT_EXTRA_DATA:
            if (Events.OnFileExtra) {
                const char* data = static_cast<const char*>(record->Data.In.Second);
                if (data && record->Number > 0)
                    extraData_.assign(data, static_cast<size_t>(record->Number));
                else
                    extraData_.clear();
                bool changed = false;
                Events.OnFileExtra(Sender, fileName, extraData_, changed);
                if (changed) {
                    const size_t n = extraData_.size();
                    if (n >= 1 && n <= kMaxReplyComment) {
                        std::memcpy(record->Data.Reply, extraData_.data(), n);
                    } else {
                        // An empty text has its terminator to point at; a long one its bytes.
                        record->Data.In.Second = extraData_.data();
                    }
                    record->Number = static_cast<int32_t>(n);
                    record->ActionReply = DZ_REPLY_YES;
                }
            }
            break;
        case DZ_ACT_NEW_NAME:
        case DZ_ACT_EXT_NAME:
            CallbackNames(record, action, fileName);
            break;
        default:
            break;
    }
}

void TZBWorker::CallbackPassword(CallbackRecord* record, bool add, const std::string& fileName) {
    std::string newPassword;
    uint32_t repeatCount = static_cast<uint32_t>(record->Number);
    TMsgDlgBtn answer = mbOK;
    if (Events.OnPasswordError) {
        Events.OnPasswordError(Sender, add, newPassword, fileName, repeatCount, answer);
        if (answer != mbOK) newPassword.clear();
    } else if (!add) {
        newPassword = GetExtrPassword(answer);
    } else if (Unattended) {
        ShowZipMessage(kMsgNoAddPassword, "");
    } else {
        std::string first = ZipLoadStr(kMsgEnterPassword);
        const TMsgDlgButtons buttons = DlgButton(mbOK) | DlgButton(mbCancel);
        int result = ZipMessageDialog(ZipLoadStr(kMsgPasswordTitle), first, buttons, zmtPassword | 10004);
        answer = result == mrOk ? mbOK : mbCancel;
        if (result == mrOk && !first.empty()) {
            std::string second = ZipLoadStr(kMsgConfirmPassword);
            result = ZipMessageDialog(ZipLoadStr(kMsgPasswordTitle), second, buttons, zmtPassword | 10005);
            answer = result == mrOk ? mbOK : mbCancel;
            if (result == mrOk && !second.empty()) {
                if (first == second)
                    newPassword = first;
                else
                    ShowZipMessage(kMsgPasswordMismatch, "");
            }
        }
    }

    if (!newPassword.empty()) {
        WriteReply(record, newPassword, kMaxPassword);
        record->ActionReply = DZ_REPLY_YES;
    } else {
        repeatCount = 0;
        record->ActionReply = DZ_REPLY_NO;
    }
    record->Number = static_cast<int32_t>(std::min(repeatCount, kMaxRepeatCount));
    switch (answer) {
        case mbCancel:
            record->ActionReply = DZ_REPLY_NO;
            break;
        case mbNoToAll:
            record->ActionReply = DZ_REPLY_NO_TO_ALL;
            break;
        case mbAbort:
            SetCancel(true);
            break;
        default:
            break;
    }
}

void TZBWorker::CallbackNames(CallbackRecord* record, int32_t action, const std::string& fileName) {
    if (action == DZ_ACT_EXT_NAME) {
        if (!Events.OnSetExtName) return;
        std::string name = fileName;
        bool changed = false;
        Events.OnSetExtName(Sender, name, changed);
        // A file may not become a folder, nor a folder a file.
        const std::string sent = Text(record->Name);
        if (changed && name != sent && EndsInDelimiter(name) == EndsInDelimiter(sent)) {
            WriteReply(record, name, kMaxReplyName);
            record->ActionReply = DZ_REPLY_YES;
        }
        return;
    }
    if (!Events.OnSetNewName && !Events.OnSetAddName) return;
    // The external name is read before a reply overwrites the field that points to it.
    const char* second = static_cast<const char*>(record->Data.In.Second);
    const std::string extName = SetSlash(Text(second), psdBackslash);
    if (Events.OnSetNewName) {
        std::string name = fileName;
        bool changed = false;
        Events.OnSetNewName(Sender, name, changed);
        if (changed) {
            WriteReply(record, name, kMaxReplyName);
            record->ActionReply = DZ_REPLY_YES;
        }
    }
    if (second && Events.OnSetAddName) {
        std::string name = fileName;
        bool changed = false;
        Events.OnSetAddName(Sender, name, extName, changed);
        if (changed) {
            WriteReply(record, name, kMaxReplyName);
            record->ActionReply = DZ_REPLY_YES;
        }
    }
}

}  // namespace archive
