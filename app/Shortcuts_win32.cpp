// Shortcuts through the Windows shell: IShellFolder enumeration to find one by display name,
// IShellLinkA and IPersistFile to load or make one.
#include <windows.h>
// The shell headers build on windows.h.
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

#include "app/Shortcuts.h"
#include "platform/Text.h"
#include "ui/Exception.h"

namespace shortcuts_internal {

namespace {

// The system's text for an error code in the user's default language; "" when it has none.
std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text),
        0, nullptr);
    std::string message = n && text ? std::string(text, n) : std::string();
    if (text) LocalFree(text);
    return message;
}

// A COM interface pointer released when it goes out of scope.
template <typename Com>
class Ref {
public:
    Ref() = default;
    ~Ref() {
        if (p_) p_->Release();
    }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;

    Com* get() const { return p_; }
    Com* operator->() const { return p_; }
    Com** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }
    Com* release() {
        Com* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    Com* p_ = nullptr;
};

// An item list allocated by the shell, freed with the shell allocator.
class ItemList {
public:
    explicit ItemList(IMalloc* malloc) : malloc_(malloc) {}
    ~ItemList() {
        if (pidl_ && malloc_) malloc_->Free(pidl_);
    }
    ItemList(const ItemList&) = delete;
    ItemList& operator=(const ItemList&) = delete;

    LPITEMIDLIST get() const { return pidl_; }
    LPITEMIDLIST* out() { return &pidl_; }
    bool Empty() const { return !pidl_ || pidl_->mkid.cb == 0; }

private:
    IMalloc* malloc_;
    LPITEMIDLIST pidl_ = nullptr;
};

const wchar_t* Wide(const std::u16string& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}

// The text of a shell name answer: a wide string (which the answer's receiver frees), or an ANSI
// string in the answer itself or at an offset inside the item's identifier, read no further than
// the identifier's own length. False when there is no text or it does not fit `chars`.
bool NameText(STRRET& name, LPCITEMIDLIST item, IMalloc* malloc, std::size_t chars,
              std::u16string& text) {
    text.clear();
    switch (name.uType) {
        case STRRET_WSTR:
            if (!name.pOleStr) return false;
            text = reinterpret_cast<const char16_t*>(name.pOleStr);
            malloc->Free(name.pOleStr);
            name.pOleStr = nullptr;
            break;
        case STRRET_CSTR:
            text =
                platform::AnsiToUtf16(std::string(name.cStr, strnlen(name.cStr, sizeof name.cStr)));
            break;
        case STRRET_OFFSET: {
            const std::size_t size = item ? item->mkid.cb : 0;
            if (name.uOffset >= size) return false;
            const char* s = reinterpret_cast<const char*>(item) + name.uOffset;
            text = platform::AnsiToUtf16(std::string(s, strnlen(s, size - name.uOffset)));
            break;
        }
        default:
            return false;
    }
    return Fits(text, chars);
}

// COM for the calling thread, single-threaded apartment, for one call. A thread whose COM was
// set up in another model keeps it: only an initialisation that succeeded is undone.
class Apartment {
public:
    Apartment() : hr_(CoInitialize(nullptr)) {}
    ~Apartment() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;

private:
    HRESULT hr_;
};

class WindowsShell : public ShellSession {
public:
    WindowsShell() { SHGetMalloc(malloc_.out()); }

    bool SpecialFolderPath(int csidl, std::u16string& path) override {
        path.clear();
        if (!malloc_.get()) return false;
        ItemList pidl(malloc_.get());
        if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, pidl.out())) || !pidl.get())
            return false;
        char buffer[MAX_PATH] = {};
        if (!SHGetPathFromIDListA(pidl.get(), buffer)) return false;
        path = platform::AnsiToUtf16(buffer);
        return true;
    }

    std::u16string FindShortcut(void* owner, const Folder& where,
                                const std::u16string& name) override {
        std::u16string found;
        if (!malloc_.get()) return found;
        Ref<IShellFolder> desktop;
        if (FAILED(SHGetDesktopFolder(desktop.out())) || !desktop.get()) return found;

        ItemList pidl(malloc_.get());
        if (where.special) {
            if (FAILED(SHGetSpecialFolderLocation(nullptr, where.csidl, pidl.out()))) return found;
        } else {
            std::wstring path(Wide(where.path));
            if (FAILED(desktop->ParseDisplayName(static_cast<HWND>(owner), nullptr, path.data(),
                                                 nullptr, pidl.out(), nullptr)))
                return found;
        }
        // The desktop's own item list is empty, and the desktop folder is its shell folder.
        Ref<IShellFolder> folder;
        if (pidl.Empty()) {
            desktop->AddRef();
            *folder.out() = desktop.get();
        } else if (FAILED(desktop->BindToObject(pidl.get(), nullptr, IID_IShellFolder,
                                                folder.outVoid())) ||
                   !folder.get()) {
            return found;
        }
        Ref<IEnumIDList> items;
        if (folder->EnumObjects(static_cast<HWND>(owner), SHCONTF_NONFOLDERS, items.out()) !=
                S_OK ||
            !items.get())
            return found;

        // Every item is looked at: a later match replaces an earlier one.
        for (;;) {
            ItemList item(malloc_.get());
            if (items->Next(1, item.out(), nullptr) != S_OK || !item.get()) break;
            STRRET display = {};
            if (FAILED(folder->GetDisplayNameOf(item.get(), SHGDN_INFOLDER, &display))) break;
            std::u16string displayName;
            if (!NameText(display, item.get(), malloc_.get(), kDisplayNameChars, displayName) ||
                displayName != name)
                continue;
            STRRET parsing = {};
            std::u16string fullPath;
            if (SUCCEEDED(folder->GetDisplayNameOf(item.get(), SHGDN_FORPARSING, &parsing)) &&
                NameText(parsing, item.get(), malloc_.get(), kPathChars, fullPath) &&
                !fullPath.empty())
                found = fullPath;
        }
        return found;
    }

    ShortcutLink* LoadShortcut(const std::u16string& linkPath) override {
        Ref<IShellLinkA> link;
        const HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IShellLinkA, link.outVoid());
        if (FAILED(hr) || !link.get()) {
            const DWORD error = GetLastError();
            throw ui::Exception(NoLinkObjectMessage(hr, link.get(), SystemMessage(error)));
        }
        Ref<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) || !file.get())
            throw ui::Exception(kNoPersistFileForExisting);
        if (FAILED(file->Load(Wide(linkPath), STGM_SHARE_DENY_WRITE)))
            throw ui::Exception(kExistingDoesNotLoad);
        return link.release();
    }

    ShortcutLink* SaveShortcut(const NewShortcut& s, const std::u16string& linkPath) override {
        Ref<IShellLinkA> link;
        if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    link.outVoid())) ||
            !link.get())
            throw ui::Exception(kCannotCreateNew);
        // Each value is best effort, as the shell link keeps what it can.
        if (!s.target.empty()) link->SetPath(s.target.c_str());
        link->SetDescription("");
        if (!s.arguments.empty()) link->SetArguments(s.arguments.c_str());
        if (!s.iconFile.empty()) link->SetIconLocation(s.iconFile.c_str(), s.iconIndex);
        if (!s.workingFolder.empty()) link->SetWorkingDirectory(s.workingFolder.c_str());
        Ref<IPersistFile> file;
        if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid())) || !file.get())
            throw ui::Exception(kNoPersistFileForNew);
        // A folder that does not exist means no file; that is not reported.
        file->Save(Wide(linkPath), FALSE);
        return link.release();
    }

    void ReleaseLink(ShortcutLink* link) override {
        if (link) link->Release();
    }

private:
    Apartment com_;  // first member: the last to go, after every COM object of the session
    Ref<IMalloc> malloc_;
};

}  // namespace

std::unique_ptr<ShellSession> OpenShellSession() {
    return std::make_unique<WindowsShell>();
}

}  // namespace shortcuts_internal
