#include "platform/win32/handle_write.h"

#include <windows.h>

#include <algorithm>

namespace kz::platform::win32 {

bool writeAllTo(void* handle, std::string_view data) {
    while (!data.empty()) {
        DWORD written = 0;
        DWORD chunk = DWORD(std::min<size_t>(data.size(), 1u << 30));
        if (!WriteFile(handle, data.data(), chunk, &written, nullptr) || written == 0) return false;
        data.remove_prefix(written);
    }
    return true;
}

}  // namespace kz::platform::win32
