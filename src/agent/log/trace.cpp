#include "log/trace.h"

#include <cstdarg>
#include <string>

#include "base/format.h"
#include "platform/console.h"

namespace kz::log {

void Trace(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string out = formatTextV(format, args);
    va_end(args);
    platform::writeStdout(out);
}

}  // namespace kz::log
