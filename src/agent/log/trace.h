#pragma once
// Trace lines of the agent's runs on the host's standard output.

namespace kz::log {

// One formatted line, written in one write so concurrent runs never interleave.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace kz::log
