// Hosts without the Windows Firewall: COM has nothing to initialise and the firewall manager
// cannot be created, so the authorization logs that failure and changes nothing.
#include <new>

#include "app/Firewall.h"

// Like SysAllocString, the copy ends at the text's first NUL.
ComString::ComString(const std::u16string& text) {
    const std::u16string copy = text.substr(0, text.find(u'\0'));
    data_ = new (std::nothrow) char16_t[copy.size() + 1];
    if (!data_) return;
    copy.copy(data_, copy.size());
    data_[copy.size()] = u'\0';
    length_ = copy.size();
}

ComString::~ComString() {
    delete[] data_;
}

namespace {

class NoFirewall : public FirewallHost {
public:
    FwResult InitializeCom() override { return kFwOk; }
    void UninitializeCom() override {}
    FwResult CreateManager(std::unique_ptr<FirewallManager>& manager) override {
        manager.reset();
        return kFwClassNotRegistered;
    }
    FwResult CreateEntry(std::unique_ptr<FirewallEntry>& entry) override {
        entry.reset();
        return kFwClassNotRegistered;
    }
};

}  // namespace

FirewallHost& SystemFirewall() {
    static NoFirewall host;
    return host;
}
