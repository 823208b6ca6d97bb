// Shell shortcuts: find a shortcut by its display name in a folder and reuse it unchanged, or
// create one.
//
// On Windows a shortcut is a shell link file (".lnk") made through IShellLinkA and IPersistFile;
// COM is initialised for the calling thread at the start of each call and uninitialised on
// every way out. On other hosts a shortcut is a freedesktop launcher file (".desktop") whose
// display name is its file name without the extension.
//
// Texts are in the ANSI code page. Errors of the shell-link machinery are raised as
// ui::Exception with fixed English messages.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#if defined(_WIN32)
struct IShellLinkA;
// The shell's link object.
using ShortcutLink = IShellLinkA;
#else
// A stand-in for the shell's link object: the values of one launcher file, reference counted
// like a COM object. The getters have the call shape of IShellLinkA's, copy the value (host
// paths, as the launcher holds them) into `buffer` cut to `size` characters including the NUL,
// and return 0 (or a negative code when `size` is not positive).
class ShortcutLink {
public:
    ShortcutLink(std::string path, std::string arguments, std::string workingFolder,
                 std::string iconFile, int iconIndex);
    ShortcutLink(const ShortcutLink&) = delete;
    ShortcutLink& operator=(const ShortcutLink&) = delete;

    unsigned long AddRef();
    // Drops one reference; the last one deletes the object.
    unsigned long Release();

    long GetPath(char* buffer, int size, void* findData = nullptr, unsigned long flags = 0) const;
    long GetArguments(char* buffer, int size) const;
    long GetWorkingDirectory(char* buffer, int size) const;
    long GetIconLocation(char* buffer, int size, int* iconIndex) const;

private:
    ~ShortcutLink() = default;

    unsigned long references_ = 1;
    std::string path_, arguments_, workingFolder_, iconFile_;
    int iconIndex_ = 0;
};
#endif

// Looks in the shell special folder `csidl` (platform::kCsidlDesktop, kCsidlPrograms) for a
// shortcut whose display name is exactly `linkName` (letter case included) and returns its full
// path, leaving it as it is. When there is none and `create` is set, makes
// <folder>\<linkName><extension> starting `target` with `arguments`, the icon `iconIndex` of
// `iconFile` and, when the target has a backslash, the target's folder as working folder; an
// empty text sets nothing. A link name with a backslash never matches a display name and goes
// into that sub-folder; when the sub-folder does not exist nothing is written and the path is
// returned all the same. Returns "" when there is no shortcut and `create` is false, and when
// the folder has no file-system path or a path would not fit the shell's 260 characters.
//
// `owner` is the owner window (an HWND on Windows) for the shell's enumeration of the folder.
// When `linkObject` is not null it receives the link object of the shortcut returned (the
// receiver owns it and calls Release; on Windows it is used with COM initialised on the
// thread), and null when the result is "".
std::string CreateShortcutInSpecialFolder(void* owner, const std::string& target,
                                          const std::string& arguments, const std::string& iconFile,
                                          int iconIndex, const std::string& linkName, int csidl,
                                          bool create, ShortcutLink** linkObject);

// The same in the folder at `folderPath` (a Windows path).
std::string CreateShortcutInFolder(void* owner, const std::string& target,
                                   const std::string& arguments, const std::string& iconFile,
                                   int iconIndex, const std::string& linkName,
                                   const std::string& folderPath, bool create,
                                   ShortcutLink** linkObject);

// What the two operations share between their portable rules and the host's shell.
namespace shortcuts_internal {

// Buffer sizes of the shell work, in UTF-16 characters including the terminating NUL: a text
// fits when it is shorter.
constexpr std::size_t kPathChars = 260;
constexpr std::size_t kNameChars = 260;
constexpr std::size_t kDisplayNameChars = 200;

inline bool Fits(const std::u16string& text, std::size_t chars) {
    return text.size() < chars;
}

// The messages of the shell-link failures.
extern const char* const kNoPersistFileForExisting;
extern const char* const kExistingDoesNotLoad;
extern const char* const kCannotCreateNew;
extern const char* const kNoPersistFileForNew;
// The message when no link object can be made for an existing shortcut: the result code in
// hexadecimal and unsigned decimal, the link object pointer (null after the failure), and the
// system's text for the thread's last error.
std::string NoLinkObjectMessage(long result, const void* linkObject, const std::string& systemText);

// The target's folder: the text before its last backslash; "" without one.
std::string WorkingFolder(const std::string& target);

// Where a call looks: a special folder by number, or a folder by path.
struct Folder {
    bool special = false;
    int csidl = 0;
    std::u16string path;  // for a special folder, filled by SpecialFolderPath
};

// What a new shortcut is given; an empty text means not set.
struct NewShortcut {
    std::string target, arguments, iconFile, workingFolder;
    int iconIndex = 0;
};

// One call's use of the host's shell. On Windows COM is initialised for the session's life.
class ShellSession {
public:
    virtual ~ShellSession() = default;
    // The file-system path of a special folder: true and the path, false when it has none.
    virtual bool SpecialFolderPath(int csidl, std::u16string& path) = 0;
    // The full path of the last non-folder item of `folder` whose display name is exactly
    // `name`; "" when there is none or the folder cannot be read.
    virtual std::u16string FindShortcut(void* owner, const Folder& folder,
                                        const std::u16string& name) = 0;
    // The link object of an existing shortcut file; raises the existing-shortcut errors.
    virtual ShortcutLink* LoadShortcut(const std::u16string& linkPath) = 0;
    // A new link object with `shortcut`'s values, saved to `linkPath` (a failed save is not
    // reported); raises the new-shortcut errors.
    virtual ShortcutLink* SaveShortcut(const NewShortcut& shortcut,
                                       const std::u16string& linkPath) = 0;
    virtual void ReleaseLink(ShortcutLink* link) = 0;
};

std::unique_ptr<ShellSession> OpenShellSession();

}  // namespace shortcuts_internal
