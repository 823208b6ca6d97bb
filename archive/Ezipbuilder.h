// The archive component's errors. Inside the component a failure is an EZipBuilder carrying the
// number of its message; every operation catches its own and turns them into the error state,
// a dialog (unless unattended) and the OnMessage event, so none reaches the program.
#pragma once

#include <cstdint>
#include <string>

#include "archive/ZipFormat.h"
#include "ui/Exception.h"

namespace archive {

// Message numbers the error machinery itself uses.
constexpr int32_t kMsgOutOfMemory = 10103;   // "Requested memory not available"
constexpr int32_t kMsgNotActive = 10109;     // "not Active"
constexpr int32_t kMsgBusy = 10112;          // "Busy + %s"
constexpr int32_t kMsgEventFailed = 10113;   // "Exception in Event "
constexpr int32_t kMsgUserCanceled = 11007;  // "User canceled operation"
constexpr int32_t kMsgPlainText = 11049;     // the number of an error built from a plain text

// The busy bit that GetErrCode adds after a refused re-entry.
constexpr int32_t kErrBusyBit = 0x4000000;

class EZipBuilder : public ui::Exception {
public:
    // A plain text: message 11049, shown in the dialog.
    explicit EZipBuilder(const std::string& text);
    // Message `id` as it stands; `show` says whether ShowExceptionError shows it in the dialog.
    EZipBuilder(int32_t id, bool show);
    // Message `id` formatted with one integer, one text, or two texts in that order.
    EZipBuilder(int32_t id, int32_t value);
    EZipBuilder(int32_t id, const std::string& text);
    EZipBuilder(int32_t id, const char* text) : EZipBuilder(id, std::string(text ? text : "")) {}
    EZipBuilder(int32_t id, const std::string& text1, const std::string& text2);
    // Message `id` formatted with an argument list.
    EZipBuilder(int32_t id, const FormatArgs& args);
    // Message `id` formatted with `text`; a system error number above 0 adds
    // "  <number in hexadecimal : the system's text for it>".
    EZipBuilder(int32_t id, const std::string& text, uint32_t systemError);

    int32_t MessageId() const { return messageId_; }
    bool ShowDialog() const { return showDialog_; }

private:
    bool showDialog_ = true;
    int32_t messageId_ = kMsgPlainText;
};

// A cancel by the user or by an event handler: message 11007, never shown in the dialog.
class EZipAbort : public EZipBuilder {
public:
    EZipAbort() : EZipBuilder(kMsgUserCanceled, false) {}
};

// The component's view of its error state, from the core's state and its own flags.
//   ErrCode: after a refused re-entry the core's code with the busy bit added; else 10109 while
//   the component is inactive; else the core's code.
int32_t ComponentErrCode(bool reentered, bool active, int32_t coreErrCode);
//   ErrMessage: "not Active" while inactive; "" for code 0; the core's text, or the code's
//   message when the core has none. After a refused re-entry wrapped as "Busy + ...".
std::string ComponentErrMessage(bool reentered, bool active, int32_t coreErrCode,
                                const std::string& coreErrMessage);
// `value` without the upper 6 bits, which strips the busy bit.
constexpr int32_t TheErrorCode(int32_t value) {
    return value & 0x3FFFFFF;
}

}  // namespace archive
