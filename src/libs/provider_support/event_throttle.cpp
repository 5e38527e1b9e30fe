#include "event_throttle.h"

#include <string>

#include "platform/event_log.h"

namespace kz::providers {

namespace {
constexpr uint32_t kEventId = 1073741825;
}

void EventThrottle::report(std::string_view text) {
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    int64_t last = lastReport_.load();
    const int64_t interval = std::chrono::milliseconds(kInterval).count();
    do {
        if (last != INT64_MIN && now - last < interval) return;
    } while (!lastReport_.compare_exchange_weak(last, now));
    platform::reportEvent("Kaztrel", platform::EventType::Warning, kEventId, {std::string(text)});
}

}  // namespace kz::providers
