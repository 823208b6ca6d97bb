// The machine prefix of the POSIX host: the folder that holds what a Windows machine would
// (drive C:, the registry, the user profile). SETUP_IVOX_PREFIX moves it, so every test can run
// in a throwaway prefix; otherwise it lives under the user's data directory.
//
// Only the platform layer's POSIX files use this header.
#pragma once

#include <string>

namespace platform {

// The prefix folder, created with its drive C: on first use (without a trailing slash).
std::string PrefixRoot();

// Writes `data` to `path` through a temporary file in the same folder and a rename, so a
// reader sees either the old or the new content, never a torn file. False on any failure,
// with the old file left as it was.
bool WriteFileAtomically(const std::string& path, const std::string& data);

// Creates a folder and its missing parents (mode 0700 for the ones it makes). False on failure.
bool MakeFolders(const std::string& path);

}  // namespace platform
