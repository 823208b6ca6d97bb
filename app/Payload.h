// The payload the setup program carries as resources of its own executable: the product archive
// and the database-server archive, both of type "ZIP". The archive component reads archives from
// files only, so an archive reaches it through a file written here.
#pragma once

#include <cstddef>
#include <string>

#include "ui/Exception.h"

namespace payload {

// A file that could not be put in place, with what stood in the way: the file is in use by a
// running program or its folder is missing ("Cannot create file <path>"), which the user mends
// by closing the program or choosing the folder; or the data could not be written at all (a
// full disk, a read-only file or folder: "Cannot write file <path>").
class FileWriteError : public ui::Exception {
public:
    FileWriteError(bool inUse, const std::string& path)
        : ui::Exception((inUse ? "Cannot create file " : "Cannot write file ") + path),
          inUse_(inUse),
          path_(path) {}
    bool InUse() const { return inUse_; }
    const std::string& Path() const { return path_; }

private:
    bool inUse_;
    std::string path_;
};

// Resource type and names, asked for in lower case (resources are found ignoring case).
inline constexpr const char* kArchiveType = "zip";
inline constexpr const char* kProductArchive = "cacfile";
inline constexpr const char* kServerArchive = "firebird";

// Writes the whole archive resource `name` to the file at `path`, creating it or replacing the
// file there. Raises ui::Exception with "Resource <name> not found" when the executable has no
// such resource, and otherwise as WriteWholeFile does.
void WriteArchiveResource(const std::string& name, const std::string& path);

// Writes `size` bytes to the file at `path`, creating it or replacing the file there. Raises
// FileWriteError "Cannot create file <path>" when the file cannot be opened for writing (a
// missing folder, a file in use, no rights), and "Cannot write file <path>" when writing fails
// part way (a full disk); then the file is removed, so no cut file stands there as if it were
// whole.
void WriteWholeFile(const std::string& path, const void* data, size_t size);

// Puts `size` bytes at `path` so that a file already there is either replaced whole or left as
// it was: the bytes go to a new file beside it, which then takes its place. Raises
// FileWriteError "Cannot create file <path>" (in use) when the folder does not exist or the file
// there cannot be replaced (a program runs from it), and "Cannot write file <path>" when the
// folder takes no new file, writing fails part way (a full disk) or the file there is read-only
// (which Windows never replaces); no new file is left behind either way.
void ReplaceWholeFile(const std::string& path, const void* data, size_t size);

}  // namespace payload
