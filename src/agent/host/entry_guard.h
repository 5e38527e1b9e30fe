#pragma once
// Nothing may be thrown across the library's boundary: each exported entry runs its
// work here, which logs whatever escaped and returns the entry's fallback result.

#include <exception>

#include "log/debug_log.h"

namespace kz::host {

template <typename Fn>
int RunGuarded(const char* entryName, int fallback, Fn&& fn) noexcept {
    try {
        return fn();
    } catch (const std::exception& e) {
        try {
            log::DebugLogf(
                "%s handled an exception; session will be dropped.\nThe exception was: %s\n",
                entryName, e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            log::DebugLogf("%s raised an exception.\n", entryName);
        } catch (...) {
        }
    }
    return fallback;
}

}  // namespace kz::host
