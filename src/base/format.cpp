#include "base/format.h"

#include <cstdarg>
#include <cstdio>

namespace kz {

std::string formatTextV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return {};
    std::string out(std::size_t(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(std::size_t(n));
    return out;
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatTextV(format, args);
    va_end(args);
    return out;
}

std::string formatBounded(TextLimit limit, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatTextV(format, args);
    va_end(args);
    out.resize(limit.cut(out).size());
    return out;
}

}  // namespace kz
