#include "platform/dynlib.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/files.h"

namespace kz::platform {

namespace {

// Static TLS: a library loaded and unloaded at run time (as the agent is) leaves no
// dynamic TLS block behind in the threads that used it.
thread_local std::string tlsLastError __attribute__((tls_model("initial-exec")));

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

std::unique_ptr<DynamicLibrary> DynamicLibrary::load(std::string_view path) {
    std::string file = resolveLibraryPath(path);
    if (file.empty()) {
        tlsLastError = "library not found: " + std::string(path);
        return nullptr;
    }
    // The resolved name always holds a '/', so dlopen takes it as a path, not a search.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = ::dlerror();
        tlsLastError = why ? why : "cannot load " + file;
        return nullptr;
    }
    return std::unique_ptr<DynamicLibrary>(new DynamicLibrary(handle, file));
}

std::string DynamicLibrary::lastError() {
    return tlsLastError;
}

DynamicLibrary::~DynamicLibrary() {
    if (handle_) ::dlclose(handle_);
}

void* DynamicLibrary::symbol(const char* name) const {
    ::dlerror();  // clear, so a stale text is not taken for this lookup's
    void* address = ::dlsym(handle_, name);
    if (!address) {
        const char* why = ::dlerror();
        tlsLastError = why ? why : std::string("entry not found: ") + name;
    }
    return address;
}

}  // namespace kz::platform
