#include "archive/Ezipbuilder.h"

#include "archive/Zbmsgstr.h"
#include "platform/SysError.h"

namespace archive {

EZipBuilder::EZipBuilder(const std::string& text) : ui::Exception(text) {}

EZipBuilder::EZipBuilder(int32_t id, bool show)
    : ui::Exception(ZipLoadStr(id)), showDialog_(show), messageId_(id) {}

EZipBuilder::EZipBuilder(int32_t id, int32_t value)
    : ui::Exception(ZipFormat(ZipLoadStr(id), {value})), messageId_(id) {}

EZipBuilder::EZipBuilder(int32_t id, const std::string& text)
    : ui::Exception(ZipFormat(ZipLoadStr(id), {text})), messageId_(id) {}

EZipBuilder::EZipBuilder(int32_t id, const std::string& text1, const std::string& text2)
    : ui::Exception(ZipFormat(ZipLoadStr(id), {text1, text2})), messageId_(id) {}

EZipBuilder::EZipBuilder(int32_t id, const FormatArgs& args)
    : ui::Exception(ZipFmtLoadStr(id, args)), messageId_(id) {}

EZipBuilder::EZipBuilder(int32_t id, const std::string& text, uint32_t systemError)
    : ui::Exception(ZipFormat(ZipLoadStr(id), {text})), messageId_(id) {
    if (systemError > 0) {
        SetMessage(Message() +
                   ZipFormat("  <%X : %s>", {systemError, platform::SystemErrorText(systemError)}));
    }
}

int32_t ComponentErrCode(bool reentered, bool active, int32_t coreErrCode) {
    if (reentered) return coreErrCode | kErrBusyBit;
    if (!active) return kMsgNotActive;
    return coreErrCode;
}

std::string ComponentErrMessage(bool reentered, bool active, int32_t coreErrCode,
                                const std::string& coreErrMessage) {
    std::string text;
    if (!active)
        text = ZipLoadStr(kMsgNotActive);
    else if (coreErrCode != 0)
        text = coreErrMessage.empty() ? ZipLoadStr(coreErrCode) : coreErrMessage;
    if (reentered) text = ZipFmtLoadStr(kMsgBusy, {text});
    return text;
}

}  // namespace archive
