#include "platform/dynlib.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/files.h"

namespace kz::platform {

namespace {

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "NAME.DLL" in any case gives "NAME.so"; any other name gives empty.
std::string sharedObjectName(const std::string& path) {
    constexpr std::string_view kDll = ".dll";
    if (path.size() <= kDll.size()) return {};
    std::string_view ext = std::string_view(path).substr(path.size() - kDll.size());
    auto fold = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    for (size_t i = 0; i < kDll.size(); ++i) {
        if (fold(ext[i]) != kDll[i]) return {};
    }
    return path.substr(0, path.size() - kDll.size()) + ".so";
}

}  // namespace

std::string resolveLibraryPath(std::string_view path) {
    std::string native = toNativeSeparators(path);
    if (native.empty() || native.back() == '/') return {};
    // A name with a '/' is opened as a path; without one dlopen would search elsewhere.
    if (native.find('/') == std::string::npos) native.insert(0, "./");

    if (std::string found = resolvePath(native); isRegularFile(found)) return found;
    if (std::string so = sharedObjectName(native); !so.empty()) {
        if (std::string found = resolvePath(so); isRegularFile(found)) return found;
    }
    return {};
}

// The reason of a failed load goes to the caller, not to a thread-local: a thread-local
// with a destructor keeps the library that defines it loaded until the thread ends, so a
// host's dlclose of the agent would not unload it and its detach would run at exit.
std::unique_ptr<DynamicLibrary> DynamicLibrary::load(std::string_view path, std::string* why) {
    std::string file = resolveLibraryPath(path);
    if (file.empty()) {
        if (why) *why = "library not found: " + std::string(path);
        return nullptr;
    }
    // The resolved name always holds a '/', so dlopen takes it as a path, not a search.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* error = ::dlerror();
        if (why) *why = error ? error : "cannot load " + file;
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, file));
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) ::dlclose(handle_);
}

void* DynamicLibrary::symbol(const char* name) const {
    return ::dlsym(handle_, name);
}

}  // namespace kz::platform
