#include "milter_seals.h"

namespace kz::tool {

void HandedOnSeals::expire(Clock::time_point now) {
    while (!entries_.empty() &&
           (entries_.size() > capacity_ || now - entries_.front().at > lifetime_))
        entries_.pop_front();
}

void HandedOnSeals::remember(std::string seal) {
    if (seal.empty()) return;
    std::lock_guard lock(mutex_);
    auto now = Clock::now();
    entries_.push_back({std::move(seal), now});
    expire(now);
}

bool HandedOnSeals::takeBack(std::string_view seal) {
    if (seal.empty()) return false;
    std::lock_guard lock(mutex_);
    expire(Clock::now());
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->seal == seal) {
            entries_.erase(it);
            return true;
        }
    }
    return false;
}

}  // namespace kz::tool
