#include "store/store_library.h"

#include <memory>
#include <mutex>

#include "config/directories.h"
#include "config/paths.h"
#include "platform/dynlib.h"
#include "platform/exports.h"

namespace kz::store {

namespace {

using StoreEntry = int(KZ_STDCALL*)();

std::mutex gStoreMutex;
std::unique_ptr<platform::DynamicLibrary> gStoreLibrary;  // from start to stop

}  // namespace

int StartStoreLibrary() {
    std::lock_guard lock(gStoreMutex);
    if (!gStoreLibrary) {
        auto library = platform::DynamicLibrary::load(
            config::LibraryPath(config::CurrentDirectories()->Application, "KZAISP.DLL"));
        if (!library) return 0;
        gStoreLibrary = std::move(library);
    }
    auto init = gStoreLibrary->entry<StoreEntry>("StoreLibrary_Init");
    return init ? init() : 0;
}

int StopStoreLibrary() {
    std::lock_guard lock(gStoreMutex);
    if (!gStoreLibrary) return 0;
    auto uninit = gStoreLibrary->entry<StoreEntry>("StoreLibrary_UnInit");
    int result = uninit ? uninit() : 0;
    gStoreLibrary.reset();
    return result;
}

}  // namespace kz::store
