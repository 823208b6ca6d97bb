// Path and file helpers of the archive component: file names, folders, and a quick look at a
// file's zip structure. Texts are 8-bit strings in the ANSI code page; wherever a name is scanned
// character by character, a lead byte and the byte after it count as one character, so the
// second byte of a double-byte character is never taken for a path delimiter. None of these
// functions throws.
#pragma once

#include <cstdint>
#include <string>

#include "platform/FileHandle.h"

namespace archive {

enum TPathSlashDirection : int {
    psdBackslash = 0,  // "/" becomes "\"
    psdSlash = 1,      // "\" becomes "/"
};

// What QueryZip finds, as bits of its result. The first four exclude each other.
enum : int32_t {
    kQzProgram = 0x01,          // the file starts with "MZ"
    kQzLocalAtStart = 0x02,     // ... with a local header signature
    kQzSpanMarkAtStart = 0x04,  // ... with the data descriptor (spanning) signature
    kQzCentralAtStart = 0x08,   // ... with a central header signature
    kQzCommentEndsFile = 0x10,  // an end record's comment ends exactly at the end of the file
    kQzLocalAtOffset = 0x20,    // the first central header's local-header offset holds one
    kQzCentralAtOffset = 0x40,  // the end record's central-directory offset holds a header
    kQzEndRecord = 0x80,        // an end-of-central-directory record was found
    kQzCannotOpen = -7,         // the file could not be opened for reading
    kQzFailed = -9,             // an unexpected failure while reading
};

// Closes the file unless the handle is kInvalidFileHandle, and sets the handle to that value.
void CloseFileHandle(platform::FileHandle& handle);

// The path with a trailing delimiter ("\" or "/") when `withDelimiter`, without one otherwise.
// An added delimiter is the last one the path uses ("\" when it has none); an empty path gives
// "\" or "".
std::string DelimitPath(const std::string& path, bool withDelimiter);

// True when the name is a folder; an empty name counts as one (the current folder).
bool DirExists(const std::string& name);

// Creates the folder and every missing parent: true when it exists afterwards, made here or
// before, or is a bare drive; false when a folder cannot be created (also one that appeared
// meanwhile) or the path is longer than 32767 bytes. An empty path is true.
bool ForceDirectory(const std::string& path);

// The path and the name joined by exactly one "\" ("/" is not a delimiter here). A path ending
// in ":" (a drive) or an empty side is joined without one, and when only one side carries the
// delimiter it is kept as it is.
std::string PathConcat(const std::string& path, const std::string& name);

// The zip structure of the file as a set of the kQz bits above, or kQzCannotOpen or kQzFailed.
// The file is always closed again.
int32_t QueryZip(const std::string& fileName);

// The path with every "/" turned into "\" (psdBackslash) or every "\" into "/" (psdSlash).
std::string SetSlash(const std::string& path, TPathSlashDirection direction);

}  // namespace archive
