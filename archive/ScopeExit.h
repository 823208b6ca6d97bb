// A step that runs when its scope ends, however it ends (return, report, an exception from an
// event handler, a failed allocation): the one exit path of a function that holds handles or
// temporary files. The step must not raise.
#pragma once

#include <utility>

namespace archive {

template <typename Step>
class ScopeExit {
public:
    explicit ScopeExit(Step step) : step_(std::move(step)) {}
    ~ScopeExit() { step_(); }
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;

private:
    Step step_;
};

}  // namespace archive
