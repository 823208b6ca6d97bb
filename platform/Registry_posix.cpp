// The registry stand-in of the POSIX host: one text file, "registry.reg" in the machine
// prefix, in the familiar export layout:
//
//   [HKEY_LOCAL_MACHINE\SoftWare\Solvenza Corp\ERP\Quillora]
//   "AppPath"="C:\\Solvenza"
//   "DisableDHCPMediaSense"=dword:00000001
//
// Key and value names compare without regard to ASCII letter case, as on Windows. Every
// operation reads the file afresh and every change rewrites it atomically, so a person or a
// test can inspect and edit it between steps. A file that does not parse is never rewritten.
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "platform/Prefix_posix.h"
#include "platform/Registry.h"
#include "platform/Text.h"

namespace platform {

namespace {

struct Value {
    std::string name;
    bool isDword = false;
    std::string text;
    uint32_t number = 0;
};

struct Key {
    std::string path;  // full path, starting with the root's name
    std::vector<Value> values;
};

struct Store {
    std::vector<Key> keys;

    Key* Find(const std::string& path) {
        for (Key& k : keys)
            if (SameTextAscii(k.path, path)) return &k;
        return nullptr;
    }
};

std::string StorePath() { return PrefixRoot() + "/registry.reg"; }

const char* RootName(RegRoot root) {
    return root == RegRoot::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// Joins root and sub-path, dropping empty components ("a\\b\\" names the same key as "a\b").
std::string FullPath(RegRoot root, const std::string& path) {
    std::string out = RootName(root);
    std::string part;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\') {
            if (!part.empty()) out += "\\" + part;
            part.clear();
        } else {
            part.push_back(path[i]);
        }
    }
    return out;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out.push_back(c);
    }
    return out + "\"";
}

// Reads a quoted string starting at line[i] (the opening quote); advances i past it.
bool Unquote(const std::string& line, size_t& i, std::string& out) {
    if (i >= line.size() || line[i] != '"') return false;
    out.clear();
    for (++i; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            ++i;
            return true;
        }
        if (c == '\\') {
            if (++i >= line.size()) return false;
            c = line[i] == 'n' ? '\n' : line[i];
        }
        out.push_back(c);
    }
    return false;
}

bool Load(Store& store) {
    store.keys.clear();
    std::ifstream in(StorePath(), std::ios::binary);
    if (!in) return true;  // no file yet: an empty registry
    std::string line;
    Key* current = nullptr;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';') continue;
        if (line[0] == '[') {
            if (line.back() != ']') return false;
            store.keys.push_back({line.substr(1, line.size() - 2), {}});
            current = &store.keys.back();
            continue;
        }
        if (!current) return false;
        Value v;
        size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (!Unquote(line, i, v.name)) {
            return false;
        }
        if (i >= line.size() || line[i] != '=') return false;
        ++i;
        if (line.compare(i, 6, "dword:") == 0) {
            const std::string hex = line.substr(i + 6);
            if (hex.size() != 8 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
                return false;
            v.isDword = true;
            v.number = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
        } else {
            if (!Unquote(line, i, v.text) || i != line.size()) return false;
        }
        current->values.push_back(std::move(v));
    }
    return true;
}

bool Save(const Store& store) {
    std::ostringstream out;
    out << "; Registry of the Setup_iVOX machine prefix. Edit with care: a line that does not\n"
           "; parse makes the whole store unreadable.\n";
    for (const Key& k : store.keys) {
        out << "\n[" << k.path << "]\n";
        for (const Value& v : k.values) {
            out << (v.name.empty() ? std::string("@") : Quote(v.name)) << "=";
            if (v.isDword) {
                char buf[16];
                snprintf(buf, sizeof buf, "dword:%08x", v.number);
                out << buf << "\n";
            } else {
                out << Quote(v.text) << "\n";
            }
        }
    }
    return WriteFileAtomically(StorePath(), out.str());
}

bool IsRootOnly(const std::string& full) { return full.find('\\') == std::string::npos; }

const std::string& KeyPath(void* handle) { return *static_cast<std::string*>(handle); }

// Reads one value of an open key into `out`; 0, 2 when the key or value is absent, 1009 when the
// store does not parse.
long FindValue(void* handle, const std::string& name, Value& out) {
    if (!handle) return 6;  // invalid handle
    Store store;
    if (!Load(store)) return kRegBadStore;
    Key* k = store.Find(KeyPath(handle));
    if (!k) return IsRootOnly(KeyPath(handle)) ? kRegNotFound : 1018;  // ERROR_KEY_DELETED
    for (const Value& v : k->values)
        if (SameTextAscii(v.name, name)) {
            out = v;
            return kRegOk;
        }
    return kRegNotFound;
}

long PutValue(void* handle, Value value) {
    if (!handle) return 6;
    Store store;
    if (!Load(store)) return kRegBadStore;
    Key* k = store.Find(KeyPath(handle));
    if (!k) {
        // The key was deleted while open: Windows refuses writes to a deleted key.
        if (!IsRootOnly(KeyPath(handle))) return 1018;  // ERROR_KEY_DELETED
        store.keys.push_back({KeyPath(handle), {}});
        k = &store.keys.back();
    }
    for (Value& v : k->values)
        if (SameTextAscii(v.name, value.name)) {
            value.name = v.name;
            v = std::move(value);
            return Save(store) ? kRegOk : kRegAccessDenied;
        }
    k->values.push_back(std::move(value));
    return Save(store) ? kRegOk : kRegAccessDenied;
}

}  // namespace

long RegKey::Open(RegRoot root, const std::string& path, bool /*forWrite*/, RegView) {
    Close();
    const std::string full = FullPath(root, path);
    if (!IsRootOnly(full)) {
        Store store;
        if (!Load(store)) return kRegBadStore;
        if (!store.Find(full)) return kRegNotFound;
    }
    handle_ = new std::string(full);
    return kRegOk;
}

long RegKey::Create(RegRoot root, const std::string& path, RegView) {
    Close();
    const std::string full = FullPath(root, path);
    Store store;
    if (!Load(store)) return kRegBadStore;
    bool added = false;
    // Every ancestor becomes a key of its own, as RegCreateKeyEx makes them.
    for (size_t i = full.find('\\'); i != std::string::npos;) {
        const size_t next = full.find('\\', i + 1);
        const std::string part = full.substr(0, next);
        if (!store.Find(part)) {
            store.keys.push_back({part, {}});
            added = true;
        }
        i = next;
    }
    if (added && !Save(store)) return kRegAccessDenied;
    handle_ = new std::string(full);
    return kRegOk;
}

void RegKey::Close() {
    delete static_cast<std::string*>(handle_);
    handle_ = nullptr;
}

long RegKey::ReadString(const std::string& name, std::string& out) const {
    out.clear();
    Value v;
    const long rc = FindValue(handle_, name, v);
    if (rc != kRegOk) return rc;
    if (v.isDword) return kRegInvalidData;
    out = v.text;
    return kRegOk;
}

long RegKey::ReadDword(const std::string& name, uint32_t& out) const {
    Value v;
    const long rc = FindValue(handle_, name, v);
    if (rc != kRegOk) return rc;
    if (!v.isDword) return kRegInvalidData;
    out = v.number;
    return kRegOk;
}

long RegKey::WriteString(const std::string& name, const std::string& value) {
    Value v;
    v.name = name;
    v.text = value;
    return PutValue(handle_, std::move(v));
}

long RegKey::WriteDword(const std::string& name, uint32_t value) {
    Value v;
    v.name = name;
    v.isDword = true;
    v.number = value;
    return PutValue(handle_, std::move(v));
}

long RegKey::WriteUnicodeString(const std::string& name, const std::u16string& value) {
    return WriteString(name, Utf16ToUtf8(value));  // the host's ANSI code page is UTF-8
}

long DeleteKeyTree(RegRoot root, const std::string& path, RegView) {
    const std::string full = FullPath(root, path);
    if (IsRootOnly(full)) return kRegAccessDenied;  // a root key cannot be deleted
    Store store;
    if (!Load(store)) return kRegBadStore;
    const std::string below = UpperAscii(full + "\\");
    bool found = false;
    std::vector<Key> kept;
    for (Key& k : store.keys) {
        if (SameTextAscii(k.path, full) || UpperAscii(k.path).compare(0, below.size(), below) == 0) {
            found = true;
            continue;
        }
        kept.push_back(std::move(k));
    }
    if (!found) return kRegNotFound;
    store.keys = std::move(kept);
    return Save(store) ? kRegOk : kRegAccessDenied;
}

}  // namespace platform
