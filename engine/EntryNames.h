// Entry names: from the archive's bytes to the system's ANSI text and to the full UTF-16 name,
// matching them against the caller's entry names and patterns, and turning them into paths that
// stay inside the base folder. The archive component compiles this same source, so its directory
// and the engine read and match names alike.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ArchiveReader.h"

namespace engine {

// How names are converted (the command's code page word, the component's CodePage).
enum class NameCodePage { kAuto = 0, kNone = 1, kOem = 2 };

// An entry's name as the program sees it: in the ANSI code page (delimiters as stored), and in
// full as UTF-16, which is the name a file extracted to a folder takes.
struct EntryName {
    std::string ansi;
    std::u16string wide;
};

// The one rule for reading a stored name, which the component's directory and the engine both
// follow. With kNone the bytes stay as they are (taken as ANSI). Otherwise a name flagged as
// UTF-8 (flag bit 11) that is well-formed UTF-8 is decoded as such; any other name is read from
// the OEM code page with kOem, or with kAuto when MS-DOS (host 0) or OS/2 (6) made it, or NTFS
// (11) with version 5.0, and taken as ANSI otherwise. Names read from OEM end at a zero byte.
// The ANSI form never holds a best-fit look-alike: what the code page cannot hold exactly is
// its default character.
EntryName ReadEntryName(const std::string& stored, uint16_t flags, uint16_t versionMadeBy,
                        NameCodePage codePage);

// The same for an entry of the engine's directory.
inline EntryName ReadEntryName(const CentralEntry& entry, NameCodePage codePage) {
    return ReadEntryName(entry.rawName, entry.flags, entry.versionMadeBy, codePage);
}

// Whether a request names this entry: the same name with letter case ignored under the user's
// locale (every letter, not only ASCII ones), "\" and "/" the same.
bool SameEntryName(const std::string& request, const std::string& name);

// Whether the name matches the pattern: letter case ignored as above, "\" and "/" the same,
// "*" any run of characters (folder delimiters included), "?" any one character but a folder
// delimiter; "*.*" matches every name.
bool MatchesSpec(const std::string& pattern, const std::string& name);

// What a name is worth as a relative path below the base folder.
enum class PathVerdict {
    kSafe,         // a path inside the base folder
    kOutside,      // it would leave the base folder: absolute, a drive, a UNC name, "..", or a
                   // component of dots and spaces only (Windows drops those, so "..." is "..")
    kInvalidName,  // no Windows file system takes it: a reserved device name, a ":" that is no
                   // drive (a stream), control or wildcard characters, or nothing at all
};

// The name as a relative path below the base folder: kSafe with its folders and file name
// joined by "\\" in `path`, and whether it names a folder (a trailing delimiter).
PathVerdict SafeRelativePath(const std::u16string& name, std::u16string& path, bool& folder);

}  // namespace engine
