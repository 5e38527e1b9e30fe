#pragma once
// Trace lines of the agent's runs on the host's standard output.

#include <string_view>

namespace kz::log {

// One formatted line, written in one write so concurrent runs never interleave.
void Trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// A text and a line feed, as Trace("%s%s\n", lead, text) writes them (each ends at its
// first NUL), without a format pass: for long texts.
void TraceLine(std::string_view lead, std::string_view text);

}  // namespace kz::log
