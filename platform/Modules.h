// Modules loaded at run time and their exports bound by name, and the program's own file.
//
// A bare module name ("DelZip179.dll") is looked for in the program's folder first, then along
// the host's usual search (only the latter once RestrictModuleSearch has run); a name with a
// folder is loaded from there. On POSIX hosts the name is
// a Windows path mapped into the machine prefix (see platform/Paths.h) and the module is a
// shared object, whatever its file name.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// A loaded module; nullptr when there is none.
using ModuleHandle = void*;

// Loads the module: its handle, or nullptr with the system's error number in `*error` (when
// given). While loading, the system shows no box for a missing disk or a faulty image.
ModuleHandle OpenModule(const std::string& path, uint32_t* error = nullptr);

// Restricts the search for modules named without a folder, for the rest of the process, to the
// system's own folder: the program's folder and the current folder no longer count, so no
// library planted beside the program loads in place of a system one. The program calls it first
// thing, before anything loads a module by name. Windows systems without the default-folders
// call (Vista, 7 without its update KB2533623) only lose the current folder; the theme library
// that the window's common controls load by name is then loaded from the system folder at once.
void RestrictModuleSearch();

// Loads a module of the system's own folder by its file name ("mpr.dll"), never one that lies
// beside the program: its handle, or nullptr. POSIX hosts: the host's search by name.
ModuleHandle OpenSystemModule(const std::string& name);

// The address of the export `name`, or nullptr when the module has none.
void* ModuleExport(ModuleHandle module, const char* name);

// Unloads the module (a handle from OpenModule); nothing for nullptr.
void CloseModule(ModuleHandle module);

// The program's own file as a Windows path ("C:\Program Files\Setup\Setup_iVOX.exe"; on POSIX
// hosts a C: path inside the prefix's drive C:, otherwise a Z: path); "" when unknown.
std::string ProgramFileName();

}  // namespace platform
