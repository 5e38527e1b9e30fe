#pragma once
// The registry routines of the agent, on the machine registry of the process.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/text_limit.h"
#include "platform/registry.h"

namespace kz::config {

// The process's registry: the one its owner installed (Installed<platform::Registry>),
// which is the Agent's from attach to detach. Without one nothing can be read, writes
// fail, and machineRegistry() throws std::logic_error.
platform::Registry& machineRegistry();

// String reader: false for a limit of 0 bytes (out untouched); the first
// "Software\Wow6432Node\Kaztrel" in the key path reads as "Software\Kaztrel"; a value
// that is absent, empty (no data or no text) or does not fit the limit sets out empty and gives
// false. The value's type is not examined.
bool RegReadString(std::string_view keyPath, std::string_view name, std::string& out,
                   TextLimit limit);
// Multi-string reader: the texts of a REG_MULTI_SZ value up to the empty text that ends the
// list; a REG_SZ value reads as its one text. Empty when the value is absent.
std::vector<std::string> RegReadMultiString(std::string_view keyPath, std::string_view name);
// DWORD reader: true with out set when the value holds 1 to 4 bytes (little-endian, any
// type); else false with out unchanged. An empty key path gives false.
bool RegReadDword(std::string_view keyPath, std::string_view name, uint32_t& out);
// The DWORD, or the fallback when it cannot be read.
uint32_t RegDwordOr(std::string_view keyPath, std::string_view name, uint32_t fallback);
// DWORD writer: creates the key when missing.
bool RegWriteDword(std::string_view keyPath, std::string_view name, uint32_t value);

// From begin() to its end, the registry reads of the calling thread see the registry as
// it was at begin(): a message run reads its values from one version of the file.
class RegistryView {
  public:
    void begin();

  private:
    std::optional<platform::Registry::ReadScope> scope_;
};

}  // namespace kz::config
