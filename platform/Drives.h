// Drives and volumes: full paths, which drive letters exist, their types, volume labels and
// sizes, and the switch that keeps the system from asking the user about a drive without a disk.
//
// POSIX hosts answer from the machine prefix (see platform/Paths.h for how letters map to
// folders). Drives C: and Z: always exist, and so does every letter the prefix maps under
// <prefix>/dosdevices/x: ; a link there that points nowhere is a drive without a disk. The text
// file <prefix>/drives declares drive types, one letter a line:
//
//     # letter  type (removable, fixed, remote, cdrom or ramdisk)
//     a:        removable
//
// A letter declared there exists even when nothing is mapped (an empty disk drive). Undeclared
// mapped letters are fixed; a type word not in the list above reads as an unknown type.
// A volume's label belongs to the disk, not to the drive: it is the first line of the file
// ".windows-label" in the mapped folder, where Wine keeps it too, so re-pointing a letter at
// another folder changes disks. Network shares ("\\server\share\") are not drives there: no
// type, volume or size.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The drive type numbers of the system (GetDriveType).
enum : unsigned {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdrom = 5,
    kDriveRamDisk = 6,
};

// System error numbers that drive queries report.
enum : uint32_t {
    kErrorPathNotFound = 3,
    kErrorNotReady = 21,
    kErrorGenFailure = 31,
};

// The full path of a file name: relative names are taken from the current folder, "." and ".."
// resolved, "/" turned into "\". "" when the name cannot be expanded (such as ""). POSIX hosts
// take the current folder in Windows terms: a folder inside drive C: of the prefix is a C: path,
// anything else a Z: path (the host's root).
std::string FullPathName(const std::string& path);

// The path with a drive letter mapped to a network share given in the share's form
// ("\\server\share\dir" for "N:\dir"); any other path unchanged. POSIX hosts have no such
// drives.
std::string UniversalPathName(const std::string& path);

// The drives that exist: bit 0 for A:, bit 1 for B: and so on.
uint32_t LogicalDrives();

// The type of the drive whose root is given ("C:\"; also "C:"): one of the kDrive numbers,
// kDriveNoRootDir for a letter that does not exist or a path that is no drive root.
unsigned DriveType(const std::string& root);

// Reads the label of the volume in the drive ("C:\"): true and the label (up to 259 bytes,
// possibly ""), or false with `label` emptied and the system's error number in `*error` when
// given (kErrorNotReady for a drive without a disk, kErrorPathNotFound for a missing drive).
bool VolumeInformation(const std::string& root, std::string& label, uint32_t* error = nullptr);

// The total size in bytes of the volume in the drive ("C:\"); -1 when it cannot be read.
int64_t DiskSpace(const std::string& root);

// While one exists, the system fails operations on a drive without a disk at once instead of
// asking the user to insert one (SEM_FAILCRITICALERRORS); the previous mode returns after it.
// POSIX hosts never ask, so there it does nothing.
class CriticalErrorsFail {
public:
    CriticalErrorsFail();
    ~CriticalErrorsFail();
    CriticalErrorsFail(const CriticalErrorsFail&) = delete;
    CriticalErrorsFail& operator=(const CriticalErrorsFail&) = delete;

private:
    [[maybe_unused]] unsigned previous_;  // the mode to restore (Windows)
};

}  // namespace platform
