#include "archive/ZBDBind.h"

#include "archive/Ziputils.h"

namespace archive {

void TZBDynamicBind::SetLoaded(bool value) {
    if (value == IsLoaded()) return;
    if (value)
        LoadDll(LoadByProperty);
    else
        ReleaseDll(LoadByProperty);
}

void TZBDynamicBind::SetDllDirectory(const std::string& value) {
    if (value == dllDir_) return;
    dllDir_ = DelimitPath(value, false);
}

void TZBDynamicBind::AbortEngine() {
    SetCancel(true);
}

// The engine module is not bound yet: every load fails the way a missing module does.
int32_t TZBDynamicBind::LoadDll(uint32_t reasons) {
    (void)reasons;
    loadReasons_ = 0;
    throw EZipBuilder(10650, dllPath_);  // "Failed to load %s"
}

int32_t TZBDynamicBind::ReleaseDll(uint32_t reasons) {
    loadReasons_ &= ~reasons & 7u;
    if (loadReasons_ == 0) moduleLoaded_ = false;
    return 0;
}

}  // namespace archive
