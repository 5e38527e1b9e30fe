#include "store/store_library.h"

#include "base/installed.h"
#include "config/directories.h"
#include "config/paths.h"
#include "platform/exports.h"

namespace kz::store {

namespace {

using StoreEntry = int(KZ_STDCALL*)();

}  // namespace

int StartStoreLibrary() {
    StoreLibrary* installed = Installed<StoreLibrary>::current();
    if (!installed) return 0;
    std::lock_guard lock(installed->mutex);
    if (!installed->library) {
        auto library = platform::DynamicLibrary::load(
            config::LibraryPath(config::CurrentDirectories()->application, "KZAISP.DLL"));
        if (!library) return 0;
        installed->library = std::move(library);
    }
    auto init = installed->library->entry<StoreEntry>("StoreLibrary_Init");
    return init ? init() : 0;
}

int StopStoreLibrary() {
    StoreLibrary* installed = Installed<StoreLibrary>::current();
    if (!installed) return 0;
    std::lock_guard lock(installed->mutex);
    if (!installed->library) return 0;
    auto uninit = installed->library->entry<StoreEntry>("StoreLibrary_UnInit");
    int result = uninit ? uninit() : 0;
    installed->library.reset();
    return result;
}

}  // namespace kz::store
