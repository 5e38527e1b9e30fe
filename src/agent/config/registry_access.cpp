#include "config/registry_access.h"

#include <memory>
#include <mutex>

#include "base/ascii.h"

namespace kz::config {

namespace {

std::mutex gRegistryMutex;
std::unique_ptr<platform::Registry> gRegistry;

constexpr std::string_view kWowPath = "Software\\Wow6432Node\\Kaztrel";
constexpr std::string_view kNativePath = "Software\\Kaztrel";

std::string withoutWow6432Node(std::string_view keyPath) {
    std::string path(keyPath);
    std::size_t at = findIgnoreCase(path, kWowPath);
    if (at != std::string::npos) path.replace(at, kWowPath.size(), kNativePath);
    return path;
}

}  // namespace

platform::Registry& machineRegistry() {
    std::lock_guard lock(gRegistryMutex);
    if (!gRegistry)
        gRegistry = std::make_unique<platform::Registry>(platform::Registry::defaultPath());
    return *gRegistry;
}

void openMachineRegistry(const std::string& path) {
    std::lock_guard lock(gRegistryMutex);
    gRegistry = std::make_unique<platform::Registry>(path);
}

void closeMachineRegistry() {
    std::lock_guard lock(gRegistryMutex);
    gRegistry.reset();
}

int RegReadString(std::string_view keyPath, std::string_view name, std::string& out,
                  std::size_t bufferSize) {
    if (bufferSize == 0) return 0;
    auto value = machineRegistry().query(withoutWow6432Node(keyPath), name);
    // The stored bytes (a REG_SZ counts its NUL) must fit the buffer.
    if (!value || value->data.empty() || value->data.size() > bufferSize) {
        out.clear();
        return 0;
    }
    // A value without a terminator may still be one byte too long; an empty text
    // counts as absent so that callers fall back to their defaults.
    std::string text = value->asString();
    if (text.empty() || text.size() >= bufferSize) {
        out.clear();
        return 0;
    }
    out = std::move(text);
    return 1;
}

int RegReadDword(std::string_view keyPath, std::string_view name, uint32_t& out) {
    if (keyPath.empty()) return 0;
    auto value = machineRegistry().query(keyPath, name);
    // A value with no data leaves out as it was.
    if (!value || value->data.empty()) return 0;
    auto dword = value->asDword();
    if (!dword) return 0;
    out = *dword;
    return 1;
}

uint32_t RegDwordOr(std::string_view keyPath, std::string_view name, uint32_t fallback) {
    uint32_t value = fallback;
    return RegReadDword(keyPath, name, value) ? value : fallback;
}

int RegWriteDword(std::string_view keyPath, std::string_view name, uint32_t value) {
    return machineRegistry().setDword(keyPath, name, value).ok() ? 1 : 0;
}

}  // namespace kz::config
