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

    // Loads the file that resolveLibraryPath() finds, with every symbol bound now and
    // none of them made visible to later loads. Null when it cannot be loaded; `why`,
    // when given, then tells why.
    static std::unique_ptr<DynamicLibrary> load(std::string_view path, std::string* why = nullptr);

    // The entry of that name, or null.
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
// Backslashes become '/'; a path without a directory is looked up in the current
// directory (the result then starts with "./"). The path itself when that file exists;
// else the same path matched without regard to case (resolvePath), and then, for
// "NAME.DLL" (any case), "NAME.so" matched the same way.
std::string resolveLibraryPath(std::string_view path);

}  // namespace kz::platform
