#include "library_log.h"

#include <atomic>
#include <string>

namespace kz::windns {

namespace {
std::atomic<LogCallback> gCallback{nullptr};
}

void SetLogCallback(LogCallback callback) {
    gCallback.store(callback);
}

void LogLine(uint32_t level, std::string_view text) {
    LogCallback callback = gCallback.load();
    if (!callback) return;
    std::string line = "DNS blacklists: ";
    line.append(text).append("\n");
    callback(0, 0, 0, level, line.c_str());
}

}  // namespace kz::windns
