#include "platform/com.h"

#include <objbase.h>

namespace kz::platform {

// S_FALSE (already initialised on this thread) also needs its matching uninitialise.
bool initializeComForThread() {
    return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
}

void uninitializeComForThread() {
    CoUninitialize();
}

}  // namespace kz::platform
