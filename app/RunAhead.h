#pragma once

#include <future>
#include <system_error>

// Starts `work` on a thread of its own; its result (or what it threw) comes out of the future's
// get(). Where no thread can be made, the work runs in get() instead, on the caller's thread.
template <typename Work>
auto RunAhead(Work work) -> std::future<decltype(work())> {
    try {
        return std::async(std::launch::async, work);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, work);
    }
}
