#include "whitelist/system_whitelist.h"

#include <gtest/gtest.h>

#include <string>

#include "unit/whitelist/whitelist_fixture.h"

namespace kz::whitelist {
namespace {

using SystemWhitelist = testing::WhitelistTest;

std::string registeredLine(std::string_view address) {
    return " KZ-I0092: " + std::string(address) +
           " is registered in the system whitelist and was therefore excluded from checking\n";
}

TEST_F(SystemWhitelist, AddressesAgainstTheFixtureList) {
    struct Case {
        std::string_view address;
        int whitelisted;
    };
    const Case cases[] = {
        {"192.168.1.20", 1},     {"192.168.2.20", 0},
        {"10.9.8.7", 0},                             // the data of a value is no pattern
        {"2001:db8:abcd::7", 1}, {"fe80::1:99", 1},  // pattern names compare without regard to case
        {"fe80::2:99", 0},       {"", 0},
    };
    for (const Case& c : cases) {
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(IsWhitelisted(c.address), c.whitelisted) << c.address;
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, c.whitelisted ? registeredLine(c.address) : "") << c.address;
    }
}

TEST_F(SystemWhitelist, EntriesCountFromTheNextCall) {
    EXPECT_EQ(IsWhitelisted("10.1.2.3"), 0);
    ASSERT_TRUE(config::machineRegistry().setString(config::kWhiteListKey, "10.*.*.*", "").ok());
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(IsWhitelisted("10.1.2.3"), 1);
    ::testing::internal::GetCapturedStdout();
}

TEST_F(SystemWhitelist, WithoutTheKeyNothingIsWhitelistedOrLogged) {
    InstalledObject<platform::Registry> empty(dir.file("empty.reg"));
    ASSERT_EQ(config::RegWriteDword(config::kAgentKey, config::kActivityLogEnabled, 2), 1);
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(IsWhitelisted("192.168.1.20"), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace kz::whitelist
