#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/Drives.h"
#include "platform/Paths.h"
#include "tests/support/TestDrives.h"

namespace testing_machine {

namespace {

const char* TypeWord(unsigned type) {
    switch (type) {
        case platform::kDriveRemovable:
            return "removable";
        case platform::kDriveFixed:
            return "fixed";
        case platform::kDriveRemote:
            return "remote";
        case platform::kDriveCdrom:
            return "cdrom";
        case platform::kDriveRamDisk:
            return "ramdisk";
        default:
            return "unknown";
    }
}

std::string Prefix() {
    return std::getenv("SETUP_IVOX_PREFIX");
}

// Rewrites the prefix's drives file without the letter's line, plus `line` when not empty.
void DeclareType(char letter, const std::string& line) {
    const std::string path = Prefix() + "/drives";
    std::ifstream in(path);
    std::ostringstream out;
    for (std::string l; std::getline(in, l);)
        if (l.compare(0, 2, std::string(1, letter) + ":") != 0) out << l << "\n";
    if (!line.empty()) out << line << "\n";
    std::ofstream(path) << out.str();
}

}  // namespace

bool MapTestDrive(char letter, const std::string& folder, unsigned type) {
    letter = static_cast<char>(letter | 0x20);
    const std::string dosdevices = Prefix() + "/dosdevices";
    const std::string link = dosdevices + "/" + letter + ":";
    mkdir(dosdevices.c_str(), 0700);
    unlink(link.c_str());
    if (symlink(platform::HostPath(folder).c_str(), link.c_str()) != 0) return false;
    DeclareType(letter, std::string(1, letter) + ": " + TypeWord(type));
    return platform::DriveType(std::string(1, letter) + ":\\") == type;
}

void UnmapTestDrive(char letter) {
    letter = static_cast<char>(letter | 0x20);
    unlink((Prefix() + "/dosdevices/" + letter + ":").c_str());
    DeclareType(letter, "");
}

bool SmallTestDrive(char letter, const std::string& size, std::string& why) {
    letter = static_cast<char>(letter | 0x20);
    const std::string folder = Prefix() + "/small-drive-" + letter;
    mkdir(folder.c_str(), 0700);
    if (mount("tmpfs", folder.c_str(), "tmpfs", 0, ("size=" + size).c_str()) != 0) {
        why = "no small drive here: mounting a tmpfs is not allowed";
        rmdir(folder.c_str());
        return false;
    }
    std::string windowsFolder = "Z:" + folder;
    for (char& c : windowsFolder)
        if (c == '/') c = '\\';
    if (!MapTestDrive(letter, windowsFolder, platform::kDriveFixed)) {
        why = "the small drive could not be mapped";
        RemoveSmallTestDrive(letter);
        return false;
    }
    return true;
}

void RemoveSmallTestDrive(char letter) {
    letter = static_cast<char>(letter | 0x20);
    const std::string folder = Prefix() + "/small-drive-" + letter;
    UnmapTestDrive(letter);
    umount(folder.c_str());
    rmdir(folder.c_str());
}

void WriteVolumeLabel(const std::string& folder, const std::string& label) {
    std::ofstream(platform::HostPath(folder + "\\.windows-label")) << label << "\n";
}

}  // namespace testing_machine
