#include "platform/dynlib.h"

#include <windows.h>

#include "platform/files.h"
#include "platform/win32/windows_text.h"

namespace kz::platform {

// A bare name is taken from the current folder, never from the system's search path,
// as the other system does.
std::string resolveLibraryPath(std::string_view path) {
    std::string native = toNativeSeparators(path);
    if (native.empty() || native.back() == '\\') return {};
    if (native.find_first_of("\\:") == std::string::npos) native.insert(0, ".\\");
    DWORD attributes = GetFileAttributesW(win32::widePath(native).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
    return native;
}

std::unique_ptr<DynamicLibrary> DynamicLibrary::load(std::string_view path, std::string* why) {
    std::string file = resolveLibraryPath(path);
    if (file.empty()) {
        if (why) *why = "library not found: " + std::string(path);
        return nullptr;
    }
    // The libraries a provider needs are looked up beside it first.
    HMODULE handle =
        LoadLibraryExW(win32::widePath(file).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle) {
        if (why) *why = "cannot load " + file + ": " + win32::errorText(GetLastError());
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, file));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynamicLibrary::symbol(const char* name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

}  // namespace kz::platform
