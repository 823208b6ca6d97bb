// The payload the setup program carries as resources of its own executable: the product archive
// and the database-server archive, both of type "ZIP". The archive component reads archives from
// files only, so an archive reaches it through a file written here.
#pragma once

#include <cstddef>
#include <string>

namespace payload {

// Resource type and names, asked for in lower case (resources are found ignoring case).
inline constexpr const char* kArchiveType = "zip";
inline constexpr const char* kProductArchive = "cacfile";
inline constexpr const char* kServerArchive = "firebird";

// Writes the whole archive resource `name` to the file at `path`, creating it or replacing the
// file there. Raises ui::Exception with "Resource <name> not found" when the executable has no
// such resource, and otherwise as WriteWholeFile does.
void WriteArchiveResource(const std::string& name, const std::string& path);

// Writes `size` bytes to the file at `path`, creating it or replacing the file there. Raises
// ui::Exception with "Cannot create file <path>" when the file cannot be opened for writing (a
// missing folder, a file in use, no rights), and with "Cannot write file <path>" when writing
// fails part way (a full disk); then the file is removed, so no cut file stands there as if it
// were whole.
void WriteWholeFile(const std::string& path, const void* data, size_t size);

// Puts `size` bytes at `path` so that a file already there is either replaced whole or left as
// it was: the bytes go to a new file beside it, which then takes its place. Raises ui::Exception
// with "Cannot create file <path>" when the folder does not exist or takes no new file, or the
// file there cannot be replaced (a program that runs from it, no rights), and with "Cannot write
// file <path>" when writing fails part way (a full disk); no new file is left behind either way.
void ReplaceWholeFile(const std::string& path, const void* data, size_t size);

}  // namespace payload
