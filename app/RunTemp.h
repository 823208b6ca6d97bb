// The run's own temporary folder. The system's temporary folder of a run as SYSTEM, or a
// user's own one, is open to programs that run without elevation; what the elevated run writes
// there could be changed under it. So every temporary file of a run (the payload archives, the
// carried engine, the default log) goes into a fresh folder that only SYSTEM and administrators
// may use, and the folder goes again at the end of the run.
#pragma once

#include <string>

namespace runtemp {

// The folder, with a trailing backslash, made on first use: "<temp>\SetupIVOX-<number>\" in
// platform::ElevatedTempFolder(); "" when it cannot be made.
std::string Folder();

// Removes the folder with the plain files in it (it never enters a folder or a link there),
// except `keep` (a file in it such as the default log), which stays, and the folder with it.
void Remove(const std::string& keep = "");

}  // namespace runtemp
