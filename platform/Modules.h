// Modules loaded at run time and their exports bound by name, and the program's own file.
//
// A bare module name ("DelZip179.dll") is looked for in the program's folder first, then along
// the host's usual search; a name with a folder is loaded from there. On POSIX hosts the name is
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

// The address of the export `name`, or nullptr when the module has none.
void* ModuleExport(ModuleHandle module, const char* name);

// Unloads the module (a handle from OpenModule); nothing for nullptr.
void CloseModule(ModuleHandle module);

// The program's own file as a Windows path ("C:\Program Files\Setup\Setup_iVOX.exe"; on POSIX
// hosts a C: path inside the prefix's drive C:, otherwise a Z: path); "" when unknown.
std::string ProgramFileName();

}  // namespace platform
