#pragma once
// Process-wide state of the logs that is never destroyed. Detach may run from the
// library's destructor after exit() has already destroyed ordinary static objects,
// and it still writes the End line; the state lives in static storage (not on the
// heap), so unloading the library leaves nothing behind either.

#include <new>

namespace kz::log {

template <typename T>
T& Lasting() {
    alignas(T) static unsigned char storage[sizeof(T)];
    static T* instance = new (storage) T();
    return *instance;
}

}  // namespace kz::log
