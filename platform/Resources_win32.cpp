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

void ReleaseResourceBytes(const ResourceBytes& bytes) {
    // Unlocking pages that are not locked takes them out of the working set (the call then
    // reports ERROR_NOT_LOCKED); they are read from the image again when touched.
    if (bytes.data && bytes.size > 0)
        VirtualUnlock(const_cast<unsigned char*>(bytes.data), bytes.size);
}

bool LoadOwnString(unsigned id, std::string& out) {
    out.clear();
    // A zero buffer length asks for a pointer to the string in the image (UTF-16, not
    // terminated) and gives its length.
    const wchar_t* text = nullptr;
    const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (n <= 0 || !text) return false;
    const int size = WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
    out.resize(static_cast<size_t>(size));
    WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), size, nullptr, nullptr);
    return true;
}

const EmbeddedResource* EmbeddedResourceTable(size_t& count) {
    count = 0;
    return nullptr;
}

}  // namespace platform
