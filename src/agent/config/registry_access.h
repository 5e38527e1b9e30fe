#pragma once
// The registry routines of the agent, on the machine registry of the process.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace kz::config {

// The process's registry: the one its owner installed (Installed<platform::Registry>),
// which is the Agent's from attach to detach. Without one nothing can be read, writes
// fail, and machineRegistry() throws std::logic_error.
platform::Registry& machineRegistry();

// String reader: 0 for a buffer size of 0 (out untouched); the first
// "Software\Wow6432Node\Kaztrel" in the key path reads as "Software\Kaztrel"; a value
// that is absent, empty (no data or no text) or does not fit bufferSize bytes with its
// terminator sets out empty and gives 0. The value's type is not examined.
int RegReadString(std::string_view keyPath, std::string_view name, std::string& out,
                  std::size_t bufferSize);
// DWORD reader: 1 with out set when the value holds 1 to 4 bytes (little-endian, any
// type); else 0 with out unchanged. An empty key path gives 0.
int RegReadDword(std::string_view keyPath, std::string_view name, uint32_t& out);
// The DWORD, or the fallback when it cannot be read.
uint32_t RegDwordOr(std::string_view keyPath, std::string_view name, uint32_t fallback);
// DWORD writer: creates the key when missing.
int RegWriteDword(std::string_view keyPath, std::string_view name, uint32_t value);

}  // namespace kz::config
