// The tests' handle on the test engines (tests/archive/engine): where each flavour lives, and
// the Fake_* controls of the full one, reached in the same loaded module the component uses.
#pragma once

#include <string>
#include <vector>

#include "platform/Modules.h"
#include "tests/archive/engine/FakeEngine.h"

namespace testing_engines {

// The folder of an engine flavour ("v179", "v301", ...) as a Windows path, without a trailing
// delimiter.
std::string EngineFolder(const std::string& flavour);

class FakeEngine {
public:
    // Opens the flavour's module (the component's loads of it find the same one) and resets it.
    explicit FakeEngine(const std::string& flavour = "v179");
    ~FakeEngine();
    FakeEngine(const FakeEngine&) = delete;
    FakeEngine& operator=(const FakeEngine&) = delete;

    std::string Folder() const { return folder_; }
    // The next DZ_UnzExec makes these callbacks, then returns `result` (or raises).
    void Script(const std::vector<FakeStep>& steps, int32_t result = 0, FakeEnd end = kFakeReturn);
    int32_t Calls() const;
    int32_t AbortCalls() const;
    int32_t AbortValue() const;
    const FakeCommand& Command() const;
    const FakeOutcome& Outcome(int32_t step) const;

private:
    template <typename F>
    F Get(const char* name) const;

    std::string folder_;
    platform::ModuleHandle module_ = nullptr;
};

}  // namespace testing_engines
