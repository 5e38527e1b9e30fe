#pragma once
// The settings of one provider library: values of its own key under the agent's key,
// read on every call (one stat of the registry file), each with the default that suits a
// standard installation of the daemon it talks to.

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace kz::providers {

class ProviderKey {
  public:
    // `name` is the subkey under ...\Filters\MTAFILTER, e.g. "Antivirus".
    explicit ProviderKey(std::string_view name);

    // A string value; the default when it is absent or empty.
    std::string text(std::string_view value, std::string_view fallback) const;
    // A DWORD value; the default when it is absent or not a DWORD.
    uint32_t number(std::string_view value, uint32_t fallback) const;
    std::chrono::milliseconds milliseconds(std::string_view value, uint32_t fallback) const {
        return std::chrono::milliseconds(number(value, fallback));
    }

  private:
    std::string key_;
};

}  // namespace kz::providers
