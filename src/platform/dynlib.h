#pragma once
// Run-time loading of libraries by name and lookup of their entries by name.

#include <memory>
#include <string>
#include <string_view>

namespace kz::platform {

class DynamicLibrary {
public:
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // Loads "dir\NAME.DLL" (any case): that exact file when it exists, else NAME.so,
    // matching the file name without regard to case. Null when it cannot be loaded;
    // lastError() then tells why.
    static std::unique_ptr<DynamicLibrary> load(std::string_view path);
    static std::string lastError();

    void* symbol(const char* name) const;
    template <typename F>
    F entry(const char* name) const {
        return reinterpret_cast<F>(symbol(name));
    }
    const std::string& path() const { return path_; }

private:
    DynamicLibrary(void* handle, std::string path) : handle_(handle), path_(std::move(path)) {}
    void* handle_;
    std::string path_;
};

// The file that load() would open for a Windows-style library path, or empty.
std::string resolveLibraryPath(std::string_view path);

}  // namespace kz::platform
