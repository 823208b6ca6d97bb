// Drive letters a test maps to folders of its own, so it can exercise removable drives and
// volume labels: "inserting a disk" is mapping the letter to another folder. A folder's volume
// label is the first line of its file ".windows-label" on both targets.
//
// POSIX hosts map through the prefix (dosdevices link and the drives file). Under Wine the
// mapping goes through Wine's mount manager, the way its configuration program defines drives;
// it lands in the Wine prefix too, so a test unmaps what it mapped. Elsewhere mapping fails.
#pragma once

#include <string>

namespace testing_machine {

// Maps `letter` to the folder (a Windows path) with the drive type (platform::kDrive...): true
// when the drive now answers with that type.
bool MapTestDrive(char letter, const std::string& folder, unsigned type);

// Removes the letter again.
void UnmapTestDrive(char letter);

// A drive of `size` (a tmpfs size such as "48k") at `letter`, for the tests of a full disk:
// true when it is there. POSIX hosts mount it in the prefix (which needs the rights to mount);
// under Wine tools/small-drive.sh maps it before the test program starts. When it cannot be
// had, `why` says so; a test skips then, and fails instead when CI is "true".
bool SmallTestDrive(char letter, const std::string& size, std::string& why);
// Removes a drive that SmallTestDrive mounted.
void RemoveSmallTestDrive(char letter);

// Gives the folder (a Windows path) the volume label.
void WriteVolumeLabel(const std::string& folder, const std::string& label);

}  // namespace testing_machine
