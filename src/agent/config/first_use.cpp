#include "config/first_use.h"

#include "config/registry_access.h"

namespace kz::config {

uint32_t FirstUse::readNow() const {
    return RegDwordOr(key_, name_, fallback_);
}

uint32_t FirstUse::get() {
    if (read_.load(std::memory_order_acquire)) return value_.load(std::memory_order_relaxed);
    uint32_t value = readNow();
    value_.store(value, std::memory_order_relaxed);
    read_.store(true, std::memory_order_release);
    return value;
}

}  // namespace kz::config
