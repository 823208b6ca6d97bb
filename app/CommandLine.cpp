#include "app/CommandLine.h"

#include "platform/Text.h"

namespace admin {

namespace {

// The longest folder name that leaves room for the product's deepest file below it within the
// 260 characters of a Windows path.
constexpr size_t kMaxFolderChars = 200;

std::string Unquoted(const std::string& value) {
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        return value.substr(1, value.size() - 2);
    return value;
}

// A device's name (CON, NUL, COM1, ...), with or without an extension, names the device in
// any folder, not a file or folder there.
bool ReservedName(const std::u16string& part) {
    std::u16string base = part.substr(0, part.find(u'.'));
    while (!base.empty() && base.back() == u' ') base.pop_back();
    for (char16_t& c : base)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    for (const char16_t* name : {u"CON", u"PRN", u"AUX", u"NUL", u"CONIN$", u"CONOUT$"})
        if (base == name) return true;
    return base.size() == 4 && (base.compare(0, 3, u"COM") == 0 || base.compare(0, 3, u"LPT") == 0) &&
           base[3] >= u'0' && base[3] <= u'9';
}

bool ValidPart(const std::u16string& part) {
    if (part.empty() || part == u"." || part == u"..") return false;
    if (part.back() == u' ' || part.back() == u'.') return false;
    for (char16_t c : part)
        if (c < 0x20 || std::u16string(u"<>:\"/|?*").find(c) != std::u16string::npos) return false;
    return !ReservedName(part);
}

}  // namespace

const char* ExitCodeMeaning(int code) {
    switch (code) {
        case kExitSuccess:
            return "thành công";
        case kExitBadCommandLine:
            return "dòng lệnh sai";
        case kExitFolderUnusable:
            return "không dùng được thư mục ứng dụng";
        case kExitProductRunning:
            return "ứng dụng đang chạy, cần đóng trước";
        case kExitPayloadDamaged:
            return "gói cài đặt bị hỏng";
        case kExitAnotherRun:
            return "chương trình cài đặt khác đang chạy, thử lại sau";
        default:
            return "lỗi khác";
    }
}

bool ParseCommandLine(const std::vector<std::string>& args, Options& out, std::string& problem) {
    out = Options();
    for (const std::string& arg : args) {
        if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) {
            problem = "Tham số không rõ: " + arg;
            return false;
        }
        const size_t eq = arg.find('=');
        const std::string name = platform::UpperAscii(arg.substr(1, eq - 1));
        const bool hasValue = eq != std::string::npos;
        const std::string value = hasValue ? Unquoted(arg.substr(eq + 1)) : std::string();
        const bool takesValue = name == "DIR" || name == "LOG";
        // Switches that administrators give every setup program from habit: a silent run shows
        // no box anyway, and this one never restarts the PC and has nothing to cancel.
        const bool habit = name == "SUPPRESSMSGBOXES" || name == "NORESTART" || name == "SP-" ||
                           name == "NOCANCEL";
        const bool known = takesValue || habit || name == "SILENT" || name == "VERYSILENT" ||
                           name == "UNINSTALL" || name == "?" || name == "HELP";
        if (!known) {
            problem = "Tham số không rõ: " + arg;
            return false;
        }
        if (hasValue && !takesValue) {
            problem = "Tham số " + arg.substr(0, eq) + " không nhận giá trị.";
            return false;
        }
        if ((name == "DIR" && value.empty()) || (name == "LOG" && hasValue && value.empty())) {
            problem = "Thiếu giá trị cho " + arg.substr(0, eq) + ".";
            return false;
        }
        if (name == "SILENT" || name == "VERYSILENT") out.silent = true;
        if (name == "UNINSTALL") out.uninstall = true;
        if (name == "?" || name == "HELP") out.help = true;
        if (name == "LOG") out.log = true, out.logFile = value;
        if (name == "DIR") out.dirGiven = true, out.dir = value;
    }
    return true;
}

std::string FolderProblem(const std::u16string& folder) {
    // A folder on a local drive below its root ("C:\Apps"), then names. The elevated run trusts
    // nothing it does not own: a network share ("\\server\share"), a device path ("\\?\",
    // "\\.\"), a drive's root or a device's name are not a folder of its own.
    const bool drive = folder.size() >= 2 && folder[1] == u':' &&
                       ((folder[0] | 0x20) >= u'a' && (folder[0] | 0x20) <= u'z');
    bool usable = drive && folder.size() > 3 && folder[2] == u'\\' &&
                  folder.size() <= kMaxFolderChars;
    if (usable) {
        size_t start = 3;
        while (usable) {
            const size_t end = folder.find(u'\\', start);
            usable = ValidPart(folder.substr(start, end - start));
            if (end == std::u16string::npos) break;
            start = end + 1;
        }
    }
    if (usable) return "";
    return "Thư mục ứng dụng " + platform::Utf16ToUtf8(folder) +
           " không dùng được: hãy ghi đường dẫn đầy đủ, ví dụ C:\\Solvenza.";
}

std::string UsageText() {
    std::string text =
        "Cách dùng:\n"
        "Setup_iVOX [/SILENT] [/DIR=\"thư mục\"] [/UNINSTALL] [/LOG[=\"tệp\"]]\n"
        "\n"
        "/SILENT, /VERYSILENT: chạy không có cửa sổ và hộp thông báo; các thông báo ghi vào\n"
        "nhật ký.\n"
        "/DIR=\"thư mục\": thư mục ứng dụng.\n"
        "/UNINSTALL: tháo dỡ thay vì cài đặt.\n"
        "/LOG, /LOG=\"tệp\": ghi nhật ký, mặc định vào thư mục tạm.\n"
        "/?, /HELP: hướng dẫn này (với /SILENT: ra đầu ra chuẩn, không hiện hộp).\n"
        "/SUPPRESSMSGBOXES, /NORESTART, /SP-, /NOCANCEL: được nhận, không cần làm gì: chạy im\n"
        "lặng không hiện hộp nào, chương trình không bao giờ khởi động lại máy và không có nút\n"
        "huỷ.\n"
        "\n"
        "Mã thoát:\n";
    for (int code = kExitSuccess; code <= kExitOtherFailure; ++code)
        text += std::to_string(code) + ": " + ExitCodeMeaning(code) + "\n";
    text += std::to_string(kExitAnotherRun) + ": " + ExitCodeMeaning(kExitAnotherRun) + "\n";
    return text;
}

}  // namespace admin
