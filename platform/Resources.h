// Resources of the program's own executable, found by type and name without regard to letter
// case. A type or name written "#N" is the numeric identifier N, as on Windows.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// The predefined type of raw data resources (RT_RCDATA).
inline const char* const kResourceRcData = "#10";

struct ResourceBytes {
    const unsigned char* data = nullptr;
    size_t size = 0;
};

// True and the bytes of the resource, or false when the executable has no such resource. The
// bytes live as long as the program.
bool FindOwnResource(const std::string& type, const std::string& name, ResourceBytes& out);

// Tells the system that the program needs the resource's bytes no longer for now: their pages
// leave its memory and are read from the executable again should the bytes be used once more.
// The bytes stay valid; nothing is reported.
void ReleaseResourceBytes(const ResourceBytes& bytes);

// The predefined type of string-table strings (RT_STRING).
inline const char* const kResourceString = "#6";

// True and string `id` of the program's string table, or false when it has none. POSIX hosts
// keep each string as a resource of type kResourceString named "#<id>", whose bytes are the text
// (a final line break is not part of it).
bool LoadOwnString(unsigned id, std::string& out);

// POSIX hosts: the resources linked into the executable. The build generates one table per
// program (see cmake/Resources.cmake); a program without resources gets an empty table.
struct EmbeddedResource {
    const char* type;
    const char* name;
    const unsigned char* begin;
    const unsigned char* end;
};
const EmbeddedResource* EmbeddedResourceTable(size_t& count);

}  // namespace platform
