#include "whitelist/address_patterns.h"

#include <gtest/gtest.h>

#include "support/case_file.h"
#include "whitelist/ipv6_address.h"

namespace kz::whitelist {
namespace {

// The cases of one comparison in tests/fixtures/whitelist/address_pattern_cases.txt:
// pattern or text, address or mode, result.
template <typename Compare>
void ExpectCases(const std::string& comparison, std::size_t count, Compare compare) {
    static const auto groups = test::ReadCaseGroups("whitelist/address_pattern_cases.txt");
    const auto& cases = groups.at(comparison);
    EXPECT_EQ(cases.size(), count);
    for (const test::CaseLine& c : cases) {
        ASSERT_GE(c.fields.size(), 3u) << "line " << c.number;
        EXPECT_EQ(compare(c.fields[0], c.fields[1]), c.fields[2] == "1")
            << "line " << c.number << ": " << c.fields[0] << " vs " << c.fields[1];
    }
}

TEST(IPv4Pattern, StarStandsForExactlyOnePart) {
    ExpectCases("IPv4Pattern", 12, MatchesIPv4Pattern);
}

TEST(IPv6Address, ValidityRules) {
    ExpectCases("IPv6Address", 22, [](const std::string& text, const std::string& mode) {
        return IPv6Address(text, mode == "pattern" ? IPv6Address::Mode::Pattern
                                                   : IPv6Address::Mode::Address)
            .valid();
    });
}

TEST(IPv6Pattern, WildcardGroupsAndSpellings) {
    ExpectCases("IPv6Pattern", 10, [](std::string_view pattern, std::string_view address) {
        return MatchesIPv6Pattern(pattern, address);
    });
}

TEST(AddressPattern, AColonChoosesTheIPv6Comparison) {
    ExpectCases("AddressPattern", 3, MatchesAddressPattern);
}

}  // namespace
}  // namespace kz::whitelist
