#include "answer_cache.h"

#include <algorithm>

namespace kz::windns {

std::optional<QueryOutcome> AnswerCache::find(const std::string& name, Clock::time_point now) {
    std::lock_guard hold(mutex_);
    auto at = entries_.find(name);
    if (at == entries_.end()) return std::nullopt;
    if (at->second.expires <= now) {
        eraseLocked(at);
        return std::nullopt;
    }
    return at->second.outcome;
}

void AnswerCache::store(const std::string& name, const QueryOutcome& outcome,
                        Clock::time_point now) {
    const std::chrono::seconds ttl = std::min(outcome.ttl, kLongestTtl);
    if (ttl.count() <= 0 || capacity_ == 0) return;
    std::lock_guard hold(mutex_);
    auto at = entries_.find(name);
    if (at != entries_.end()) eraseLocked(at);
    while (entries_.size() >= capacity_) eraseLocked(entries_.find(oldestFirst_.front()));
    oldestFirst_.push_back(name);
    entries_.emplace(name, Entry{outcome, now + ttl, std::prev(oldestFirst_.end())});
}

std::size_t AnswerCache::size() const {
    std::lock_guard hold(mutex_);
    return entries_.size();
}

void AnswerCache::eraseLocked(std::unordered_map<std::string, Entry>::iterator at) {
    oldestFirst_.erase(at->second.age);
    entries_.erase(at);
}

}  // namespace kz::windns
