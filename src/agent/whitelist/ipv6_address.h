#pragma once
// An IPv6 address or whitelist pattern taken apart into its eight 16-bit groups.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kz::whitelist {

class IPv6Address {
  public:
    struct Group {
        bool wildcard = false;  // "*" in a pattern: any group
        uint16_t value = 0;
    };
    static constexpr std::size_t kGroupCount = 8;
    using Groups = std::array<Group, kGroupCount>;

    // Only Pattern accepts "*" for a group.
    enum class Mode { Address, Pattern };

    // Colon-separated groups of one to four hexadecimal digits, at most one "::" for a
    // run of at least one zero group. Any other text is invalid and holds eight zero
    // groups.
    IPv6Address(std::string_view text, Mode mode);

    bool valid() const { return valid_; }
    const Groups& groups() const { return groups_; }

  private:
    Groups groups_{};
    bool valid_ = false;
};

// True when both are valid and every pattern group is a wildcard or equals the
// address's group. An invalid text matches nothing: its zero groups are no address.
bool MatchesIPv6Pattern(const IPv6Address& pattern, const IPv6Address& address);

}  // namespace kz::whitelist
