// The rule of the module's boundary: nothing unwinds out of an export. The 32-bit Windows
// toolchain gives every module its own unwinder, so an exception that leaves this module is
// never seen by the caller's handlers: the program ends at once. Every export runs its body
// through Guarded, which is noexcept and turns whatever escapes into the export's fault value.
#pragma once

#include <cstdint>

namespace engine {

// What an export that returns a result code answers when something escaped its body.
constexpr int32_t kResultRaised = -7;

template <class Result, class Body>
Result Guarded(Result fault, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return fault;
    }
}

template <class Body>
void Guarded(Body&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

}  // namespace engine
