#include "provider_key.h"

#include "machine_registry.h"

namespace kz::providers {

namespace {

constexpr std::string_view kAgentKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

}  // namespace

ProviderKey::ProviderKey(std::string_view name)
    : key_(std::string(kAgentKey) + "\\" + std::string(name)) {}

std::string ProviderKey::text(std::string_view value, std::string_view fallback) const {
    auto found = MachineRegistry()->query(key_, value);
    std::string text = found ? found->expandedString() : std::string();
    return text.empty() ? std::string(fallback) : text;
}

uint32_t ProviderKey::number(std::string_view value, uint32_t fallback) const {
    auto found = MachineRegistry()->query(key_, value);
    auto number = found ? found->asDword() : std::nullopt;
    return number.value_or(fallback);
}

}  // namespace kz::providers
