#pragma once
// The mail store library "KZAISP.DLL", started at attach when antivirus scanning is on.

#include <memory>
#include <mutex>

#include "platform/dynlib.h"

namespace kz::store {

// The library of the attached process, which its owner installs
// (Installed<StoreLibrary>); loaded from start to stop.
struct StoreLibrary {
    std::mutex mutex;
    std::unique_ptr<platform::DynamicLibrary> library;
};

// Into the installed StoreLibrary: the result of "StoreLibrary_Init", or 0 when the
// library or the entry is missing or nothing is installed.
int StartStoreLibrary();
// The result of "StoreLibrary_UnInit" after which the library is unloaded; 0 when none.
int StopStoreLibrary();

}  // namespace kz::store
