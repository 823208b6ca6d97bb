#include "tests/archive/support/FakeEngineDriver.h"

#include <stdexcept>

namespace testing_engines {

std::string EngineFolder(const std::string& flavour) {
    // The build's folders are host paths; drive Z: is the host's root on both targets.
    std::string path = "Z:" + std::string(SETUP_FAKE_ENGINES) + "/" + flavour;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

FakeEngine::FakeEngine(const std::string& flavour) : folder_(EngineFolder(flavour)) {
    module_ = platform::OpenModule(folder_ + "\\DelZip179.dll");
    if (!module_) throw std::runtime_error("test engine missing in " + folder_);
    Get<Fake_ResetFn>("Fake_Reset")();
}

FakeEngine::~FakeEngine() {
    platform::CloseModule(module_);
}

template <typename F>
F FakeEngine::Get(const char* name) const {
    void* p = platform::ModuleExport(module_, name);
    if (!p) throw std::runtime_error(std::string("test engine lacks ") + name);
    return reinterpret_cast<F>(p);
}

void FakeEngine::Script(const std::vector<FakeStep>& steps, int32_t result, FakeEnd end) {
    Get<Fake_ScriptFn>("Fake_Script")(steps.data(), static_cast<int32_t>(steps.size()), result,
                                      end);
}

int32_t FakeEngine::Calls() const {
    return Get<Fake_CallsFn>("Fake_Calls")();
}

int32_t FakeEngine::AbortCalls() const {
    return Get<Fake_CallsFn>("Fake_AbortCalls")();
}

int32_t FakeEngine::AbortValue() const {
    return Get<Fake_AbortValueFn>("Fake_AbortValue")();
}

const FakeCommand& FakeEngine::Command() const {
    return *Get<Fake_LastCommandFn>("Fake_LastCommand")();
}

const FakeOutcome& FakeEngine::Outcome(int32_t step) const {
    return *Get<Fake_OutcomeFn>("Fake_Outcome")(step);
}

}  // namespace testing_engines
