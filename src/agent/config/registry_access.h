#pragma once
// The registry routines of the agent, on the machine registry of the process.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace kz::config {

// The process's registry: opened at attach (or on first use by tools and tests) from
// KZ_REGISTRY, released at detach.
platform::Registry& machineRegistry();
void openMachineRegistry(const std::string& path);
void closeMachineRegistry();

// String reader: 0 for a buffer size of 0 (out untouched); the first
// "Software\Wow6432Node\Kaztrel" in the key path reads as "Software\Kaztrel"; a value
// that is absent, empty or does not fit bufferSize bytes with its terminator sets out
// empty and gives 0.
int RegReadString(std::string_view keyPath, std::string_view name, std::string& out,
                  std::size_t bufferSize);
// DWORD reader: 1 with out set when the value holds at most 4 bytes; else out unchanged.
int RegReadDword(std::string_view keyPath, std::string_view name, uint32_t& out);
// DWORD writer: creates the key when missing.
int RegWriteDword(std::string_view keyPath, std::string_view name, uint32_t value);

}  // namespace kz::config
