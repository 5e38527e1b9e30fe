#include "message/envelope_fields.h"

#include <algorithm>
#include <array>
#include <limits>

#include "base/bounded_text.h"

namespace kz {

namespace {

constexpr std::size_t kUnbounded = 0;

struct TextKey {
    std::string_view key;
    std::string MessageEnvelope::*field;
    std::size_t size;  // buffer size, or kUnbounded
};

struct NumberKey {
    std::string_view key;
    int32_t MessageEnvelope::*field;
};

// In the order a line is tested; no key is a prefix of another.
constexpr std::array<TextKey, 9> kTextKeys{{
    {"Recipients=", &MessageEnvelope::recipients, kUnbounded},
    {"Sender=", &MessageEnvelope::sender, MessageEnvelope::kSenderSize},
    {"Server=", &MessageEnvelope::server, MessageEnvelope::kServerSize},
    {"ClientIP=", &MessageEnvelope::clientIp, MessageEnvelope::kClientIPSize},
    {"Account=", &MessageEnvelope::account, MessageEnvelope::kAccountSize},
    {"User=", &MessageEnvelope::user, MessageEnvelope::kUserSize},
    {"Status=", &MessageEnvelope::status, MessageEnvelope::kStatusSize},
    {"CommandType=", &MessageEnvelope::commandType, MessageEnvelope::kCommandTypeSize},
    {"Subject=", &MessageEnvelope::subject, MessageEnvelope::kSubjectSize},
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
        std::string& field = envelope.*text.field;
        if (text.size == kUnbounded)
            field.assign(value);
        else
            assignCut(field, value, text.size);
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
