#include "whitelist/ipv6_address.h"

#include <optional>
#include <string_view>
#include <vector>

namespace kz::whitelist {

namespace {

constexpr std::size_t kMaxGroupDigits = 4;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<IPv6Address::Group> parseGroup(std::string_view text, IPv6Address::Mode mode) {
    if (text == "*") {
        if (mode != IPv6Address::Mode::Pattern) return std::nullopt;
        return IPv6Address::Group{true, 0};
    }
    if (text.empty() || text.size() > kMaxGroupDigits) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        int digit = hexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + unsigned(digit);
    }
    return IPv6Address::Group{false, uint16_t(value)};
}

// The groups of one side of a "::" (or of the whole text). Empty text has no groups;
// an empty group anywhere else (a lone leading or trailing ":", or ":::") is invalid.
bool parseGroups(std::string_view text, IPv6Address::Mode mode,
                 std::vector<IPv6Address::Group>& out) {
    if (text.empty()) return true;
    for (;;) {
        std::size_t colon = text.find(':');
        std::optional<IPv6Address::Group> group = parseGroup(text.substr(0, colon), mode);
        if (!group || out.size() == IPv6Address::kGroupCount) return false;
        out.push_back(*group);
        if (colon == std::string_view::npos) return true;
        text.remove_prefix(colon + 1);
    }
}

}  // namespace

IPv6Address::IPv6Address(std::string_view text, Mode mode) {
    std::vector<Group> head;
    std::vector<Group> tail;
    std::size_t gap = text.find("::");
    bool parsed;
    if (gap == std::string_view::npos) {
        parsed = parseGroups(text, mode, head) && head.size() == kGroupCount;
    } else {
        // A second "::" (":::" included) leaves a second empty group.
        parsed = text.find("::", gap + 1) == std::string_view::npos &&
                 parseGroups(text.substr(0, gap), mode, head) &&
                 parseGroups(text.substr(gap + 2), mode, tail) &&
                 head.size() + tail.size() < kGroupCount;
    }
    if (!parsed) return;
    for (std::size_t i = 0; i < head.size(); ++i) groups_[i] = head[i];
    for (std::size_t i = 0; i < tail.size(); ++i) {
        groups_[kGroupCount - tail.size() + i] = tail[i];
    }
    valid_ = true;
}

bool MatchesIPv6Pattern(const IPv6Address& pattern, const IPv6Address& address) {
    if (!pattern.valid() || !address.valid()) return false;
    for (std::size_t i = 0; i < IPv6Address::kGroupCount; ++i) {
        const IPv6Address::Group& want = pattern.groups()[i];
        if (!want.wildcard && want.value != address.groups()[i].value) return false;
    }
    return true;
}

}  // namespace kz::whitelist
