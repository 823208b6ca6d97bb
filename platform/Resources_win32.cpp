#include <windows.h>

#include "platform/Resources.h"

namespace platform {

// FindResource compares string names without regard to case and accepts "#N" for numbers.
bool FindOwnResource(const std::string& type, const std::string& name, ResourceBytes& out) {
    HRSRC info = FindResourceA(nullptr, name.c_str(), type.c_str());
    if (!info) return false;
    HGLOBAL handle = LoadResource(nullptr, info);
    if (!handle) return false;
    out.data = static_cast<const unsigned char*>(LockResource(handle));
    out.size = SizeofResource(nullptr, info);
    return out.data != nullptr;
}

const EmbeddedResource* EmbeddedResourceTable(size_t& count) {
    count = 0;
    return nullptr;
}

}  // namespace platform
