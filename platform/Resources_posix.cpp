#include "platform/Resources.h"
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

}  // namespace platform
