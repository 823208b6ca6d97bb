#include "app/Shortcuts.h"

#include <cstdint>
#include <cstdio>

#include "app/RunLog.h"
#include "platform/Paths.h"
#include "platform/Text.h"

namespace shortcuts_internal {

const char* const kNoPersistFileForExisting =
    "Couldn't get a persist-file interface to the IShellLink for existing file";
const char* const kExistingDoesNotLoad = "Error loading the existing IShellLink";
const char* const kCannotCreateNew = "Unable to create shortcut file";
const char* const kNoPersistFileForNew =
    "Unable to get IPersistFile interface on shortcut just created";

std::string NoLinkObjectMessage(long result, const void* linkObject,
                                const std::string& systemText) {
    // The result code is shown as its 32 bits whatever the width of long.
    const auto code = static_cast<unsigned long>(static_cast<std::uint32_t>(result));
    char text[160];
    std::snprintf(text, sizeof text,
                  "Couldn't get IShellLink to existing file. hres=%lx %lu. psl=%llx. ", code, code,
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(linkObject)));
    return std::string(text) + ": " + systemText;
}

std::string WorkingFolder(const std::string& target) {
    // Walk by characters: in a double-byte code page a trail byte can have the value of '\'.
    std::size_t cut = std::string::npos;
    for (std::size_t i = 0; i < target.size(); ++i) {
        if (target[i] == '\\')
            cut = i;
        else if (platform::IsLeadByte(static_cast<unsigned char>(target[i])) &&
                 i + 1 < target.size())
            ++i;
    }
    return cut == std::string::npos ? std::string() : target.substr(0, cut);
}

}  // namespace shortcuts_internal

namespace {

using namespace shortcuts_internal;

std::string FindOrCreate(void* owner, const NewShortcut& shortcut, const std::string& linkName,
                         Folder folder, bool create, ShortcutLink** linkObject) {
    if (linkObject) *linkObject = nullptr;
    const std::unique_ptr<ShellSession> shell = OpenShellSession();

    // A folder without a file-system path (or too long a one) holds no shortcut of ours, and a
    // new one must not land anywhere else, such as the root of the current drive.
    if (folder.special && !shell->SpecialFolderPath(folder.csidl, folder.path)) return {};
    if (folder.path.empty() || !Fits(folder.path, kPathChars)) return {};

    const std::u16string name = platform::AnsiToUtf16(linkName);
    std::u16string linkPath;
    ShortcutLink* link = nullptr;
    if (Fits(name, kNameChars)) linkPath = shell->FindShortcut(owner, folder, name);
    if (!linkPath.empty()) {
        // Reused as it is: the call's target, arguments and icon are not applied.
        link = shell->LoadShortcut(linkPath);
        runlog::Line("Giữ lối tắt có sẵn " + platform::Utf16ToUtf8(linkPath));
    } else {
        if (!create) return {};
        linkPath =
            folder.path + u"\\" + name + platform::AnsiToUtf16(platform::ShortcutExtension());
        if (!Fits(linkPath, kPathChars)) return {};
        link = shell->SaveShortcut(shortcut, linkPath);
        runlog::Line("Tạo lối tắt " + platform::Utf16ToUtf8(linkPath) + " tới " +
                     runlog::FromAnsi(shortcut.target));
    }
    if (linkObject)
        *linkObject = link;
    else
        shell->ReleaseLink(link);
    return platform::Utf16ToAnsi(linkPath);
}

NewShortcut Shortcut(const std::string& target, const std::string& arguments,
                     const std::string& iconFile, int iconIndex) {
    NewShortcut s;
    s.target = target;
    s.arguments = arguments;
    s.iconFile = iconFile;
    s.iconIndex = iconIndex;
    s.workingFolder = WorkingFolder(target);
    return s;
}

}  // namespace

std::string CreateShortcutInSpecialFolder(void* owner, const std::string& target,
                                          const std::string& arguments, const std::string& iconFile,
                                          int iconIndex, const std::string& linkName, int csidl,
                                          bool create, ShortcutLink** linkObject) {
    Folder folder;
    folder.special = true;
    folder.csidl = csidl;
    return FindOrCreate(owner, Shortcut(target, arguments, iconFile, iconIndex), linkName, folder,
                        create, linkObject);
}

std::string CreateShortcutInFolder(void* owner, const std::string& target,
                                   const std::string& arguments, const std::string& iconFile,
                                   int iconIndex, const std::string& linkName,
                                   const std::string& folderPath, bool create,
                                   ShortcutLink** linkObject) {
    Folder folder;
    folder.path = platform::AnsiToUtf16(folderPath);
    return FindOrCreate(owner, Shortcut(target, arguments, iconFile, iconIndex), linkName, folder,
                        create, linkObject);
}
