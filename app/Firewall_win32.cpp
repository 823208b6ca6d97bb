// The Windows Firewall through its COM classes. Each wrapper holds one reference to its COM
// object and releases it when destroyed.
#include <windows.h>
// The COM headers build on windows.h.
#include <oleauto.h>
// The firewall's class and interface identifiers are not in the uuid library: define them here.
#include <initguid.h>
#include <netfw.h>

#include "app/Firewall.h"

ComString::ComString(const std::u16string& text)
    : data_(reinterpret_cast<char16_t*>(
          SysAllocString(reinterpret_cast<const OLECHAR*>(text.c_str())))) {
    if (data_) length_ = SysStringLen(reinterpret_cast<BSTR>(data_));
}

ComString::~ComString() {
    SysFreeString(reinterpret_cast<BSTR>(data_));
}

namespace {

BSTR Bstr(const ComString& s) {
    return reinterpret_cast<BSTR>(s.Data());
}

// Hands a COM object obtained with result `hr` to a new wrapper. A failed call leaves no object
// (the COM rule); a success that brings none is a failure here, so callers never see an empty
// object after success.
template <typename Wrapper, typename Base, typename Com>
FwResult Wrap(HRESULT hr, Com* object, std::unique_ptr<Base>& out) {
    out.reset();
    if (FAILED(hr)) return hr;
    if (!object) return E_POINTER;
    out = std::make_unique<Wrapper>(object);
    return hr;
}

template <typename Com>
class Holder {
public:
    explicit Holder(Com* object) : object_(object) {}
    ~Holder() { object_->Release(); }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

protected:
    Com* object_;
};

class Entry : public FirewallEntry, public Holder<INetFwAuthorizedApplication> {
public:
    using Holder::Holder;
    INetFwAuthorizedApplication* Com() const { return object_; }

    FwResult GetEnabled(bool& enabled) override {
        VARIANT_BOOL flag = VARIANT_FALSE;
        const HRESULT hr = object_->get_Enabled(&flag);
        enabled = SUCCEEDED(hr) && flag != VARIANT_FALSE;
        return hr;
    }
    FwResult PutProcessImageFileName(const ComString& path) override {
        return object_->put_ProcessImageFileName(Bstr(path));
    }
    FwResult PutName(const ComString& name) override { return object_->put_Name(Bstr(name)); }
};

class Applications : public FirewallApplications, public Holder<INetFwAuthorizedApplications> {
public:
    using Holder::Holder;

    FwResult Item(const ComString& path, std::unique_ptr<FirewallEntry>& entry) override {
        INetFwAuthorizedApplication* app = nullptr;
        const HRESULT hr = object_->Item(Bstr(path), &app);
        return Wrap<Entry>(hr, app, entry);
    }
    FwResult Add(FirewallEntry& entry) override {
        // Only an entry of this host carries a COM object the list can take.
        auto* own = dynamic_cast<Entry*>(&entry);
        if (!own) return E_INVALIDARG;
        return object_->Add(own->Com());
    }
};

class Profile : public FirewallProfile, public Holder<INetFwProfile> {
public:
    using Holder::Holder;

    FwResult GetAuthorizedApplications(std::unique_ptr<FirewallApplications>& apps) override {
        INetFwAuthorizedApplications* list = nullptr;
        const HRESULT hr = object_->get_AuthorizedApplications(&list);
        return Wrap<Applications>(hr, list, apps);
    }
};

class Policy : public FirewallPolicy, public Holder<INetFwPolicy> {
public:
    using Holder::Holder;

    FwResult GetCurrentProfile(std::unique_ptr<FirewallProfile>& profile) override {
        INetFwProfile* current = nullptr;
        const HRESULT hr = object_->get_CurrentProfile(&current);
        return Wrap<Profile>(hr, current, profile);
    }
};

class Manager : public FirewallManager, public Holder<INetFwMgr> {
public:
    using Holder::Holder;

    FwResult GetLocalPolicy(std::unique_ptr<FirewallPolicy>& policy) override {
        INetFwPolicy* local = nullptr;
        const HRESULT hr = object_->get_LocalPolicy(&local);
        return Wrap<Policy>(hr, local, policy);
    }
};

class WindowsFirewall : public FirewallHost {
public:
    FwResult InitializeCom() override {
        return CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    }
    void UninitializeCom() override { CoUninitialize(); }
    FwResult CreateManager(std::unique_ptr<FirewallManager>& manager) override {
        INetFwMgr* mgr = nullptr;
        const HRESULT hr = CoCreateInstance(CLSID_NetFwMgr, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_INetFwMgr, reinterpret_cast<void**>(&mgr));
        return Wrap<Manager>(hr, mgr, manager);
    }
    FwResult CreateEntry(std::unique_ptr<FirewallEntry>& entry) override {
        INetFwAuthorizedApplication* app = nullptr;
        const HRESULT hr =
            CoCreateInstance(CLSID_NetFwAuthorizedApplication, nullptr, CLSCTX_INPROC_SERVER,
                             IID_INetFwAuthorizedApplication, reinterpret_cast<void**>(&app));
        return Wrap<Entry>(hr, app, entry);
    }
};

}  // namespace

FirewallHost& SystemFirewall() {
    static WindowsFirewall host;
    return host;
}
