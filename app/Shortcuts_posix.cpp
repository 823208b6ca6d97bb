// Shortcuts as freedesktop launcher files in the prefix's shell folders. A launcher's display
// name is its file name without ".desktop"; another file's display name is its whole name.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "app/Shortcuts.h"
#include "platform/Paths.h"
#include "platform/Text.h"
#include "ui/Exception.h"

ShortcutLink::ShortcutLink(std::string path, std::string arguments, std::string workingFolder,
                           std::string iconFile, int iconIndex)
    : path_(std::move(path)),
      arguments_(std::move(arguments)),
      workingFolder_(std::move(workingFolder)),
      iconFile_(std::move(iconFile)),
      iconIndex_(iconIndex) {}

unsigned long ShortcutLink::AddRef() {
    return ++references_;
}

unsigned long ShortcutLink::Release() {
    const unsigned long left = --references_;
    if (left == 0) delete this;
    return left;
}

namespace {

constexpr long kInvalidArgument = static_cast<long>(static_cast<std::int32_t>(0x80070057u));

long CopyOut(const std::string& value, char* buffer, int size) {
    if (!buffer || size <= 0) return kInvalidArgument;
    const std::size_t n = std::min(value.size(), static_cast<std::size_t>(size - 1));
    value.copy(buffer, n);
    buffer[n] = '\0';
    return 0;
}

}  // namespace

long ShortcutLink::GetPath(char* buffer, int size, void*, unsigned long) const {
    return CopyOut(path_, buffer, size);
}
long ShortcutLink::GetArguments(char* buffer, int size) const {
    return CopyOut(arguments_, buffer, size);
}
long ShortcutLink::GetWorkingDirectory(char* buffer, int size) const {
    return CopyOut(workingFolder_, buffer, size);
}
long ShortcutLink::GetIconLocation(char* buffer, int size, int* iconIndex) const {
    if (iconIndex) *iconIndex = iconIndex_;
    return CopyOut(iconFile_, buffer, size);
}

namespace shortcuts_internal {

namespace {

const char kGroup[] = "[Desktop Entry]";
const char kLauncherExtension[] = ".desktop";
const char kIconIndexKey[] = "X-IconIndex";

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// A value as the launcher format writes it: backslash and control characters escaped, so no
// text can start another line or key.
std::string EscapeValue(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == ' ' && i == 0)
            out += "\\s";  // a leading space would be dropped by readers
        else
            out += c;
    }
    return out;
}

std::string UnescapeValue(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        switch (s[++i]) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 's':
                out += ' ';
                break;
            default:
                out += s[i];
        }
    }
    return out;
}

// The Exec line: the program quoted (so spaces and shell characters stay in it), then the
// arguments as given; '%' is doubled, since the format reserves it for field codes.
std::string ExecLine(const std::string& program, const std::string& arguments) {
    std::string line = "\"";
    for (char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') line += '\\';
        line += c;
    }
    line += '"';
    if (!arguments.empty()) line += " " + arguments;
    std::string out;
    for (char c : line) out += c == '%' ? std::string("%%") : std::string(1, c);
    return out;
}

// Splits an Exec line back into program and arguments.
void SplitExec(const std::string& exec, std::string& program, std::string& arguments) {
    std::string line;
    for (std::size_t i = 0; i < exec.size(); ++i) {
        line += exec[i];
        if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') ++i;
    }
    program.clear();
    arguments.clear();
    std::size_t i = 0;
    if (!line.empty() && line[0] == '"') {
        for (i = 1; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) ++i;
            program += line[i];
        }
        if (i < line.size()) ++i;  // the closing quote
    } else {
        i = std::min(line.find(' '), line.size());
        program = line.substr(0, i);
    }
    if (i < line.size() && line[i] == ' ') arguments = line.substr(i + 1);
}

std::string HostOf(const std::u16string& windowsPath) {
    return platform::HostPath(platform::Utf16ToAnsi(windowsPath));
}

// The names of the folder's entries that are not folders, in name order.
std::vector<std::string> NonFolderNames(const std::string& hostFolder) {
    std::vector<std::string> names;
    if (hostFolder.empty()) return names;
    DIR* dir = opendir(hostFolder.c_str());
    if (!dir) return names;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        struct stat st;
        if (stat((hostFolder + "/" + name).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) continue;
        names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class LauncherShell : public ShellSession {
public:
    bool SpecialFolderPath(int csidl, std::u16string& path) override {
        std::string folder;
        path.clear();
        if (!platform::GetSpecialFolderPath(csidl, folder)) return false;
        path = platform::AnsiToUtf16(folder);
        return true;
    }

    std::u16string FindShortcut(void*, const Folder& folder, const std::u16string& name) override {
        std::u16string found;
        for (const std::string& file : NonFolderNames(HostOf(folder.path))) {
            std::string display = file;
            if (EndsWith(file, kLauncherExtension))
                display.resize(file.size() - std::strlen(kLauncherExtension));
            const std::u16string displayName = platform::AnsiToUtf16(display);
            if (!Fits(displayName, kDisplayNameChars) || displayName != name) continue;
            const std::u16string fullPath = folder.path + u"\\" + platform::AnsiToUtf16(file);
            if (Fits(fullPath, kPathChars))
                found = fullPath;  // a later match replaces an earlier one
        }
        return found;
    }

    ShortcutLink* LoadShortcut(const std::u16string& linkPath) override {
        std::ifstream in(HostOf(linkPath), std::ios::binary);
        std::string line;
        bool inGroup = false, sawGroup = false;
        std::string exec, folder, icon;
        int iconIndex = 0;
        while (in && std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (line.empty() || line[0] == '#') continue;
            if (line[0] == '[') {
                if (!sawGroup && line == kGroup)
                    inGroup = sawGroup = true;
                else if (!sawGroup)
                    break;  // a launcher starts with its main group
                else
                    inGroup = false;
                continue;
            }
            if (!inGroup) continue;
            const std::size_t eq = line.find('=');
            if (eq == std::string::npos) continue;
            std::string key = line.substr(0, eq);
            while (!key.empty() && key.back() == ' ') key.pop_back();
            std::string value = line.substr(eq + 1);
            value.erase(0, std::min(value.find_first_not_of(' '), value.size()));
            value = UnescapeValue(value);
            if (key == "Exec")
                exec = value;
            else if (key == "Path")
                folder = value;
            else if (key == "Icon")
                icon = value;
            else if (key == kIconIndexKey)
                iconIndex = std::atoi(value.c_str());
        }
        if (!sawGroup) throw ui::Exception(kExistingDoesNotLoad);
        std::string program, arguments;
        SplitExec(exec, program, arguments);
        return new ShortcutLink(program, arguments, folder, icon, iconIndex);
    }

    ShortcutLink* SaveShortcut(const NewShortcut& s, const std::u16string& linkPath) override {
        const std::string program = s.target.empty() ? "" : platform::HostPath(s.target);
        const std::string folder =
            s.workingFolder.empty() ? "" : platform::HostPath(s.workingFolder);
        const std::string icon = s.iconFile.empty() ? "" : platform::HostPath(s.iconFile);
        // The display name is the file's: the link name after any sub-folder.
        const std::string linkName = platform::Utf16ToAnsi(linkPath);
        std::string name = linkName.substr(linkName.rfind('\\') + 1);
        name.resize(name.size() - std::strlen(kLauncherExtension));

        std::string text =
            std::string(kGroup) + "\nType=Application\nName=" + EscapeValue(name) + "\n";
        if (!program.empty()) text += "Exec=" + EscapeValue(ExecLine(program, s.arguments)) + "\n";
        if (!icon.empty()) {
            text += "Icon=" + EscapeValue(icon) + "\n";
            text += std::string(kIconIndexKey) + "=" + std::to_string(s.iconIndex) + "\n";
        }
        if (!folder.empty()) text += "Path=" + EscapeValue(folder) + "\n";

        // As with a shell link, a folder that does not exist means no file, without a report.
        // The launcher is written whole beside its place and then takes it, so a full disk or a
        // killed program never leaves a cut launcher, nor loses the one that was there.
        const std::string host = HostOf(linkPath);
        const std::string fresh = host + ".~SetupIVOX.new";
        const int fd = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0755);
        if (fd >= 0) {
            std::size_t done = 0;
            while (done < text.size()) {
                const ssize_t n = write(fd, text.data() + done, text.size() - done);
                if (n <= 0) break;
                done += static_cast<std::size_t>(n);
            }
            const bool whole = close(fd) == 0 && done == text.size();
            if (!whole || rename(fresh.c_str(), host.c_str()) != 0) unlink(fresh.c_str());
        }
        return new ShortcutLink(program, s.target.empty() ? "" : s.arguments, folder, icon,
                                icon.empty() ? 0 : s.iconIndex);
    }

    void ReleaseLink(ShortcutLink* link) override {
        if (link) link->Release();
    }
};

}  // namespace

std::unique_ptr<ShellSession> OpenShellSession() {
    return std::make_unique<LauncherShell>();
}

}  // namespace shortcuts_internal
