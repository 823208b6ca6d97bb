// Entry names: from the archive's bytes to the system's ANSI text, matching them against the
// caller's entry names and patterns, and turning them into paths that stay inside the base folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ArchiveReader.h"

namespace engine {

// How names are converted (the command's code page word).
enum class NameCodePage { kAuto = 0, kNone = 1, kOem = 2 };

// The entry's name in the ANSI code page: UTF-8 names (flag bit 11) converted from UTF-8; with
// kAuto, names written by MS-DOS, OS/2 and Windows hosts converted from OEM and others taken
// as they are; kNone takes every name as it is, kOem converts every name from OEM.
std::string EntryNameToAnsi(const CentralEntry& entry, NameCodePage codePage);

// Whether the name matches the pattern: letter case ignored (ASCII), "\" and "/" the
// same, "*" any run of characters (folder delimiters included), "?" any one character; "*.*"
// matches every name.
bool MatchesSpec(const std::string& pattern, const std::string& name);

// The name as a relative path below the base folder: true, its folders and file name joined
// with "\" in `path`, and whether it names a folder (a trailing delimiter). False for a name
// that would leave the base folder or that no file system takes: an absolute, drive or UNC
// name, a ":" (drive or stream), a component of dots and spaces only (".", "..", ". ."),
// control or wildcard characters, reserved device names, or nothing at all.
bool SafeRelativePath(const std::string& name, std::string& path, bool& folder);

}  // namespace engine
