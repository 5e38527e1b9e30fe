#include "log/trace.h"

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "base/format.h"
#include "log/console_batch.h"

namespace kz::log {

namespace {

// Room for almost every trace line: those are formatted once, without an allocation.
constexpr std::size_t kShortLine = 512;

}  // namespace

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    std::array<char, kShortLine> line;
    int length = std::vsnprintf(line.data(), line.size(), format, args);
    va_end(args);
    if (length > 0 && std::size_t(length) < line.size())
        WriteConsole(std::string_view(line.data(), std::size_t(length)));
    else if (length > 0)
        WriteConsole(formatTextV(format, again));
    va_end(again);
}

void TraceLine(std::string_view lead, std::string_view text) {
    std::string line(asFormatted(lead));
    line.append(asFormatted(text)).append("\n");
    WriteConsole(line);
}

}  // namespace kz::log
