// The mail store library of this server. The filter agent starts and stops it; the
// store operations it offers beyond that belong to the store's own services.

#include <atomic>

#include "platform/exports.h"

namespace {

std::atomic<int> gStarts{0};

}  // namespace

KZ_EXPORT int KZ_STDCALL StoreLibrary_Init() {
    gStarts.fetch_add(1);
    return 1;
}

KZ_EXPORT int KZ_STDCALL StoreLibrary_UnInit() {
    gStarts.fetch_sub(1);
    return 1;
}

// How many starts are not yet stopped, for the server's diagnostics.
KZ_EXPORT int KZ_STDCALL StoreLibrary_ActiveStarts() {
    return gStarts.load();
}
