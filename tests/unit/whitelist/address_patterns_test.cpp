#include "whitelist/address_patterns.h"

#include <gtest/gtest.h>

#include <string_view>

#include "whitelist/ipv6_address.h"

namespace kz::whitelist {
namespace {

struct PatternCase {
    std::string_view pattern, address;
    bool matches;
};

TEST(IPv4Pattern, StarStandsForExactlyOnePart) {
    const PatternCase cases[] = {
        {"10.*.*.*", "10.1.2.3", true},
        {"*.*.*.*", "1.2.3.4", true},
        {"10.*.*.3", "10.200.1.3", true},
        {"10.*.*.3", "10.200.1.4", false},
        {"10.*", "10.1.2.3", false},  // fewer parts than the address
        {"*", "10.1.2.3", false},
        {"10.1.2.3.*", "10.1.2.3", false},  // more parts than the address
        {"10.1.2.3", "10.1.2.30", false},   // no prefix matches
        {"10.1.2.3", "10.1.2.3", true},
        {"1*.1.2.3", "10.1.2.3", false},  // "*" inside a part is no wildcard
        {"*.*.*.*", "", false},
        {"", "", false},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(MatchesIPv4Pattern(c.pattern, c.address), c.matches)
            << c.pattern << " vs " << c.address;
    }
}

struct ParseCase {
    std::string_view text;
    IPv6Address::Mode mode;
    bool valid;
};

TEST(IPv6Address, ValidityRules) {
    using M = IPv6Address::Mode;
    const ParseCase cases[] = {
        {"2001:db8:0:0:0:0:0:1", M::Address, true},
        {"2001:DB8::1", M::Address, true},
        {"::", M::Address, true},
        {"fe80::", M::Address, true},
        {"1:2:3:4:5:6:7::", M::Address, true},  // "::" for one zero group
        {"1:2:3:4:5:6:7:8:9", M::Address, false},
        {"1:2:3:4::5:6:7:8", M::Address, false},  // "::" would stand for no group
        {"1:2:3:4:5:6:7", M::Address, false},     // too few groups without "::"
        {"1::2::3", M::Address, false},
        {":::1", M::Address, false},
        {":1:2:3:4:5:6:7", M::Address, false},  // a single leading colon
        {"1:2:3:4:5:6:7:", M::Address, false},  // a single trailing colon
        {"12345::1", M::Address, false},
        {"fe80::g1", M::Address, false},
        {"fe80::1%eth0", M::Address, false},
        {"::ffff:192.168.1.1", M::Address, false},  // no dotted IPv4 tail
        {"", M::Address, false},
        {"fe80::*", M::Address, false},  // wildcards only in patterns
        {"fe80::*", M::Pattern, true},
        {"*:*:*:*:*:*:*:*", M::Pattern, true},
        {"fe80::**", M::Pattern, false},
        {"*", M::Pattern, false},
    };
    for (const ParseCase& c : cases) {
        EXPECT_EQ(IPv6Address(c.text, c.mode).valid(), c.valid) << c.text;
    }
}

TEST(IPv6Pattern, WildcardGroupsAndSpellings) {
    const PatternCase cases[] = {
        {"fe80::*", "fe80::1234", true},
        {"fe80::*", "fe80::1:1234", false},  // only the last group is free
        {"2001:db8:*::7", "2001:db8:abcd::7", true},
        {"2001:db8:*::7", "2001:db8::8", false},
        {"2001:DB8::1", "2001:0db8:0000:0000:0000:0000:0000:0001", true},
        {"*:*:*:*:*:*:*:*", "::", true},
        {"::1", "::1", true},
        // Invalid texts are all zero groups, yet they name no address.
        {"not:an:address", "::", false},
        {"::", "zz::1", false},
        {"192.168.1.*", "::", false},
    };
    for (const PatternCase& c : cases) {
        EXPECT_EQ(MatchesIPv6Pattern(c.pattern, c.address), c.matches)
            << c.pattern << " vs " << c.address;
    }
}

TEST(AddressPattern, AColonChoosesTheIPv6Comparison) {
    EXPECT_TRUE(MatchesAddressPattern("*:*:*:*:*:*:*:*", "::1"));
    EXPECT_FALSE(MatchesAddressPattern("*", "::1"));  // an IPv4 wildcard is no IPv6 pattern
    EXPECT_TRUE(MatchesAddressPattern("*", "localhost"));
}

}  // namespace
}  // namespace kz::whitelist
