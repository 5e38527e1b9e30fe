#include "milter_seals.h"

#include <algorithm>

namespace kz::tool {

void HandedOnSeals::expire(Clock::time_point now) {
    while (!entries_.empty() &&
           (entries_.size() > capacity_ || now - entries_.front().at > lifetime_))
        entries_.pop_front();
}

void HandedOnSeals::remember(std::string seal, std::string name, std::string bodyDigest) {
    if (seal.empty()) return;
    std::lock_guard lock(mutex_);
    auto now = Clock::now();
    entries_.push_back({std::move(seal), std::move(name), std::move(bodyDigest), now});
    expire(now);
}

void HandedOnSeals::forget(std::string_view seal) {
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [&](const Entry& e) { return e.seal == seal; });
}

std::optional<std::string> HandedOnSeals::takeBack(std::string_view seal,
                                                   std::string_view bodyDigest) {
    if (seal.empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    expire(Clock::now());
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->seal == seal && it->digest == bodyDigest) {
            std::string name = std::move(it->name);
            entries_.erase(it);
            return name;
        }
    }
    return std::nullopt;
}

}  // namespace kz::tool
