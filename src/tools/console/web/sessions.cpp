#include "sessions.h"

#include <algorithm>
#include <vector>

#include "platform/crypto.h"

namespace kz::tool::web {

std::string RandomToken(std::size_t bytes) {
    std::vector<uint8_t> random(bytes);
    if (!platform::randomBytes(random.data(), random.size())) return {};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (uint8_t byte : random) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 15];
    }
    return out;
}

bool SameToken(const std::string& given, const std::string& expected) {
    return !expected.empty() && given.size() == expected.size() &&
           platform::equalInConstantTime(reinterpret_cast<const uint8_t*>(given.data()),
                                         reinterpret_cast<const uint8_t*>(expected.data()),
                                         given.size());
}

bool SessionStore::expired(const Entry& entry, Clock::time_point now) const {
    return now - entry.used >= kIdleLimit || now - entry.created >= kLifeLimit;
}

std::optional<Session> SessionStore::create(Clock::time_point now) {
    Session session{RandomToken(), RandomToken()};
    if (session.id.empty() || session.csrf.empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [&](const auto& item) { return expired(item.second, now); });
    if (sessions_.size() >= kMaxSessions) {
        auto oldest = std::min_element(sessions_.begin(), sessions_.end(), [](auto& a, auto& b) {
            return a.second.used < b.second.used;
        });
        sessions_.erase(oldest);
    }
    sessions_[session.id] = Entry{session.csrf, now, now};
    return session;
}

std::optional<Session> SessionStore::find(const std::string& id, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    auto found = sessions_.find(id);
    if (found == sessions_.end()) return std::nullopt;
    if (expired(found->second, now)) {
        sessions_.erase(found);
        return std::nullopt;
    }
    found->second.used = now;
    return Session{id, found->second.csrf};
}

void SessionStore::remove(const std::string& id) {
    std::lock_guard lock(mutex_);
    sessions_.erase(id);
}

}  // namespace kz::tool::web
