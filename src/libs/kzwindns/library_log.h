#pragma once
// The library's lines go through the callback the agent hands over, which writes them
// into its daily log under its own lock and drops lines above its logging level.

#include <cstdint>
#include <string_view>

#include "platform/exports.h"

namespace kz::windns {

using LogCallback = int(KZ_STDCALL*)(uint32_t, uint32_t, uint32_t, uint32_t, const char*);

// Levels as the agent's "Debug Logging Level" compares them (default 5).
constexpr uint32_t kLogSetup = 3;    // configuration read at start
constexpr uint32_t kLogProblem = 2;  // a zone that failed, timed out or refused
constexpr uint32_t kLogListed = 4;   // a listed host
constexpr uint32_t kLogDetail = 7;   // every answer

void SetLogCallback(LogCallback callback);
// One line; the line end is added. Dropped while no callback is set.
void LogLine(uint32_t level, std::string_view text);

}  // namespace kz::windns
