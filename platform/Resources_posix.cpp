#include "platform/Resources.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/Text.h"

namespace platform {

// A program linked without a generated resource table has none; the generated table, when
// present, overrides this one.
__attribute__((weak)) const EmbeddedResource* EmbeddedResourceTable(size_t& count) {
    count = 0;
    return nullptr;
}

bool FindOwnResource(const std::string& type, const std::string& name, ResourceBytes& out) {
    size_t count = 0;
    const EmbeddedResource* table = EmbeddedResourceTable(count);
    for (size_t i = 0; i < count; ++i) {
        if (SameTextAscii(table[i].type, type) && SameTextAscii(table[i].name, name)) {
            out.data = table[i].begin;
            out.size = static_cast<size_t>(table[i].end - table[i].begin);
            return true;
        }
    }
    return false;
}

void ReleaseResourceBytes(const ResourceBytes& bytes) {
    // Only the whole pages inside the resource: its neighbours in the image keep theirs. The
    // resources are read-only data of the executable's own mapping, so a dropped page comes back
    // from the file unchanged.
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(bytes.data) + page - 1) & ~(page - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(bytes.data) + bytes.size) & ~(page - 1);
    if (bytes.data && end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

bool LoadOwnString(unsigned id, std::string& out) {
    ResourceBytes bytes;
    out.clear();
    if (!FindOwnResource(kResourceString, "#" + std::to_string(id), bytes)) return false;
    out.assign(reinterpret_cast<const char*>(bytes.data), bytes.size);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return true;
}

}  // namespace platform
