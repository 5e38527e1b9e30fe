#include "config/registry_access.h"

#include <stdexcept>

#include "base/ascii.h"
#include "base/installed.h"

namespace kz::config {

namespace {

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
    platform::Registry* registry = Installed<platform::Registry>::current();
    if (!registry) throw std::logic_error("no registry is installed");
    return *registry;
}

bool RegReadString(std::string_view keyPath, std::string_view name, std::string& out,
                   TextLimit limit) {
    if (limit.bufferSize == 0) return false;
    platform::Registry* registry = Installed<platform::Registry>::current();
    auto value = registry ? registry->query(withoutWow6432Node(keyPath), name) : std::nullopt;
    // The stored bytes (a REG_SZ counts its NUL) must fit the buffer.
    if (!value || value->data.empty() || value->data.size() > limit.bufferSize) {
        out.clear();
        return false;
    }
    // A value without a terminator may still be one byte too long, an expanded one
    // longer than it was; an empty text counts as absent so that callers fall back to
    // their defaults.
    std::string text = value->expandedString();
    if (text.empty() || !limit.fits(text)) {
        out.clear();
        return false;
    }
    out = std::move(text);
    return true;
}

std::vector<std::string> RegReadMultiString(std::string_view keyPath, std::string_view name) {
    std::vector<std::string> texts;
    platform::Registry* registry = Installed<platform::Registry>::current();
    auto value = registry ? registry->query(withoutWow6432Node(keyPath), name) : std::nullopt;
    if (!value) return texts;
    std::string_view data(reinterpret_cast<const char*>(value->data.data()), value->data.size());
    while (!data.empty()) {
        std::size_t end = data.find('\0');
        if (end == 0) break;  // the empty text ends the list
        texts.emplace_back(data.substr(0, end));
        if (end == std::string_view::npos || value->type != platform::RegType::MultiSz) break;
        data.remove_prefix(end + 1);
    }
    return texts;
}

bool RegReadDword(std::string_view keyPath, std::string_view name, uint32_t& out) {
    platform::Registry* registry = Installed<platform::Registry>::current();
    if (keyPath.empty() || !registry) return false;
    auto value = registry->query(keyPath, name);
    // A value with no data leaves out as it was.
    if (!value || value->data.empty()) return false;
    auto dword = value->asDword();
    if (!dword) return false;
    out = *dword;
    return true;
}

uint32_t RegDwordOr(std::string_view keyPath, std::string_view name, uint32_t fallback) {
    uint32_t value = fallback;
    return RegReadDword(keyPath, name, value) ? value : fallback;
}

bool RegWriteDword(std::string_view keyPath, std::string_view name, uint32_t value) {
    platform::Registry* registry = Installed<platform::Registry>::current();
    return registry && registry->setDword(keyPath, name, value).ok();
}

void RegistryView::begin() {
    if (platform::Registry* registry = Installed<platform::Registry>::current()) {
        scope_.emplace(*registry);
    }
}

}  // namespace kz::config
