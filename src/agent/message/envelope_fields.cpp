#include "message/envelope_fields.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/text_limit.h"

namespace kz {

namespace {

struct TextKey {
    std::string_view key;
    std::string MessageEnvelope::*field;
    TextLimit limit;
};

struct NumberKey {
    std::string_view key;
    int32_t MessageEnvelope::*field;
};

// In the order a line is tested; no key is a prefix of another.
constexpr std::array<TextKey, 9> kTextKeys{{
    {"Recipients=", &MessageEnvelope::recipients, kNoTextLimit},
    {"Sender=", &MessageEnvelope::sender, MessageEnvelope::kSenderLimit},
    {"Server=", &MessageEnvelope::server, MessageEnvelope::kServerLimit},
    {"ClientIP=", &MessageEnvelope::clientIp, MessageEnvelope::kClientIpLimit},
    {"Account=", &MessageEnvelope::account, MessageEnvelope::kAccountLimit},
    {"User=", &MessageEnvelope::user, MessageEnvelope::kUserLimit},
    {"Status=", &MessageEnvelope::status, MessageEnvelope::kStatusLimit},
    {"CommandType=", &MessageEnvelope::commandType, MessageEnvelope::kCommandTypeLimit},
    {"Subject=", &MessageEnvelope::subject, MessageEnvelope::kSubjectLimit},
}};

constexpr std::array<NumberKey, 2> kNumberKeys{{
    {"TimeAcquired=", &MessageEnvelope::timeAcquired},
    {"AuthenticationStatus=", &MessageEnvelope::authenticationStatus},
}};

constexpr std::array<std::string_view, 5> kWrittenKeys{
    "Recipients=", "Server=", "Sender=", "TimeAcquired=", "Status="};

bool isAtoiSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

}  // namespace

bool ApplyEnvelopeLine(MessageEnvelope& envelope, std::string_view line) {
    for (const TextKey& text : kTextKeys) {
        if (!line.starts_with(text.key)) continue;
        std::string_view value = line.substr(text.key.size());
        text.limit.assign(envelope.*text.field, value);
        return true;
    }
    for (const NumberKey& number : kNumberKeys) {
        if (!line.starts_with(number.key)) continue;
        envelope.*number.field = EnvelopeNumber(line.substr(number.key.size()));
        return true;
    }
    return false;
}

int32_t EnvelopeNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && isAtoiSpace(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';

    constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t magnitude = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        if (magnitude < kLimit) magnitude = magnitude * 10 + (text[pos] - '0');
    }
    if (negative) return int32_t(-std::min(magnitude, kLimit));
    return int32_t(std::min(magnitude, kLimit - 1));
}

bool IsWrittenEnvelopeLine(std::string_view line) {
    for (std::string_view key : kWrittenKeys) {
        if (line.starts_with(key)) return true;
    }
    return false;
}

}  // namespace kz
