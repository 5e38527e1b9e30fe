#pragma once
// Answers kept for their TTL, shared by every calling thread. Bounded: when full, the
// oldest entry makes room for the new one.

#include <chrono>
#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "query_outcome.h"

namespace kz::windns {

class AnswerCache {
  public:
    using Clock = std::chrono::steady_clock;

    explicit AnswerCache(std::size_t capacity) : capacity_(capacity) {}

    std::optional<QueryOutcome> find(const std::string& name, Clock::time_point now);
    // Keeps the outcome until now + its TTL (at most kLongestTtl); a TTL of 0 keeps nothing.
    void store(const std::string& name, const QueryOutcome& outcome, Clock::time_point now);
    std::size_t size() const;

  private:
    struct Entry {
        QueryOutcome outcome;
        Clock::time_point expires;
        std::list<std::string>::iterator age;
    };

    void eraseLocked(std::unordered_map<std::string, Entry>::iterator at);

    const std::size_t capacity_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::list<std::string> oldestFirst_;
};

}  // namespace kz::windns
