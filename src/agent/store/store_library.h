#pragma once
// The mail store library "KZAISP.DLL", started at attach when antivirus scanning is on.

namespace kz::store {

// The result of "StoreLibrary_Init", or 0 when the library or the entry is missing.
int StartStoreLibrary();
// The result of "StoreLibrary_UnInit" after which the library is unloaded; 0 when none.
int StopStoreLibrary();

}  // namespace kz::store
