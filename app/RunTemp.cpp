#include "app/RunTemp.h"

#include "platform/Files.h"
#include "platform/FindFiles.h"
#include "platform/Protection.h"
#include "platform/Text.h"

namespace runtemp {

namespace {

std::string g_folder;

}  // namespace

std::string Folder() {
    if (g_folder.empty()) {
        const std::string parent = platform::ElevatedTempFolder();
        if (parent.empty()) return "";
        const std::string made = platform::MakePrivateFolder(parent, "SetupIVOX-");
        if (!made.empty()) g_folder = made + "\\";
    }
    return g_folder;
}

void Remove(const std::string& keep) {
    if (g_folder.empty()) return;
    bool kept = false;
    for (const std::string& name : platform::FindFiles(g_folder + "*")) {
        const std::string path = g_folder + name;
        platform::FileAttributes a;
        if (!platform::ReadFileAttributes(path, a) || a.directory || a.link) continue;
        if (!keep.empty() && platform::SameTextAscii(path, keep))
            kept = true;
        else
            platform::RemoveFile(path);
    }
    if (!kept) platform::RemoveFolder(g_folder.substr(0, g_folder.size() - 1));
    g_folder.clear();
}

}  // namespace runtemp
