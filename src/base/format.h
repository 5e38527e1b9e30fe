#pragma once
// printf-style formatting into std::string: the agent's many fixed formats stay
// readable, with no buffer to overrun.

#include <cstdarg>
#include <cstddef>
#include <string>

namespace kz {

std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The same for the argument list of another variadic function.
std::string formatTextV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
// The formatted text cut to bufferSize-1 characters, as a bounded format into a
// buffer of bufferSize bytes would leave it.
std::string formatBounded(std::size_t bufferSize, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

}  // namespace kz
