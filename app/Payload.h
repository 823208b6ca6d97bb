// The payload the setup program carries as resources of its own executable: the product archive
// and the database-server archive, both of type "ZIP". The archive component reads archives from
// files only, so an archive reaches it through a file written here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

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

// Writes the whole archive resource `name` to a new file at `path`, never over a file (or
// link) already there, and gives the resource's pages back. Raises ui::Exception with "Resource
// <name> not found" when the executable has no such resource, and FileWriteError "Cannot write
// file <path>" when the file cannot be made or written whole (none is left then).
void WriteArchiveResource(const std::string& name, const std::string& path);

// Writes `size` bytes to the file at `path`, creating it or replacing the file there. Raises
// FileWriteError "Cannot create file <path>" when the file cannot be opened for writing (a
// missing folder, a file in use, no rights), and "Cannot write file <path>" when writing fails
// part way (a full disk); then the file is removed, so no cut file stands there as if it were
// whole.
void WriteWholeFile(const std::string& path, const void* data, size_t size);

// Puts `size` bytes at `path` so that a file already there is either replaced whole or left as
// it was, also across a power cut: the bytes go to a new file of ours beside it (created new,
// never over a file or link there), reach the disk, and then that file takes its place. A
// replacement that a scanner holds up for a moment is tried again for about two seconds. Raises
// FileWriteError "Cannot create file <path>" (in use) when the folder does not exist or the file
// there cannot be replaced (a program runs from it), and "Cannot write file <path>" when the
// folder takes no new file, something is at our temporary name already, writing fails part way
// (a full disk) or the file there is read-only (which Windows never replaces); no new file is
// left behind either way.
void ReplaceWholeFile(const std::string& path, const void* data, size_t size);

// Every temporary file the setup program leaves beside a file it puts in place starts with
// this, so that it is recognisable and never taken for (or mistaken with) a file of the user's:
// ~SetupIVOX.<file name>.<number>.<kind>, the number made of the process id and a counter.
inline constexpr const char* kTempMark = "~SetupIVOX.";

// One file of a set to put in place: where, and its whole new content.
struct FileToPlace {
    std::string path;
    std::string bytes;
};

// Puts a set of files in place all together or not at all, also across a power cut. Every new
// file is first written whole beside its target and the file it replaces gets a second name
// beside it (a hard link; a copy where the volume has none), each on the disk; a journal in
// `journalFolder` (with its own length and CRC) then names them all, and only after it is on
// the disk are the targets replaced, in order, each just after `beforeReplacing(i)` ran (which
// may stop the program that runs from file i). On any failure the files already replaced get
// their old content back (a file that was not there goes again), nothing of ours is left
// behind, and FileWriteError is raised as ReplaceWholeFile raises it; a file that cannot get
// its old content back keeps its copy and the journal for the next start. A program killed
// part way leaves the journal, and RecoverInterruptedReplace puts the old set back.
void ReplaceFileSet(const std::vector<FileToPlace>& files, const std::string& journalFolder,
                    const std::function<void(size_t)>& beforeReplacing = {});

// What RecoverInterruptedReplace found and did.
enum class Recovery {
    kNothingToDo,    // no journal: our temporary files (of a run killed before or after its
                     // replacements) are gone
    kPutBack,        // a cut set got its old files back; its journal and copies are gone
    kTargetHeld,     // a file of the cut set could not get its old content back (a program runs
                     // from it): the journal and the copies stay for the next start
    kJournalRefused  // the journal is not one of ours (not whole, other files or names than
                     // ours, an owner other users can be): logged, nothing moved or deleted
};

// What a program killed during ReplaceFileSet left: with its journal in `journalFolder`, the set
// it named gets its old files back; then every temporary file of ours beside `targets` and in
// `journalFolder` goes. The journal is input that others may have written: it is acted on only
// when it is whole and names nothing but `targets` and our temporary names beside them. Safe to
// call when there is nothing to recover.
Recovery RecoverInterruptedReplace(const std::string& journalFolder,
                                   const std::vector<std::string>& targets);

}  // namespace payload
