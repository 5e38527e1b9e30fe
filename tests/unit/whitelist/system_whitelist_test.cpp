#include "whitelist/system_whitelist.h"

#include <gtest/gtest.h>

#include <string>

#include "support/case_file.h"
#include "unit/whitelist/whitelist_fixture.h"

namespace kz::whitelist {
namespace {

using SystemWhitelist = testing::WhitelistTest;

std::string registeredLine(std::string_view address) {
    return " KZ-I0092: " + std::string(address) +
           " is registered in the system whitelist and was therefore excluded from checking\n";
}

TEST_F(SystemWhitelist, AddressesAgainstTheFixtureList) {
    for (const test::CaseLine& c : test::ReadCaseFile("whitelist/system_cases.txt")) {
        const std::string& address = c.fields[0];
        const int whitelisted = std::stoi(c.fields[1]);
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(IsWhitelisted(address), whitelisted) << "line " << c.number;
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, whitelisted ? registeredLine(address) : "") << "line " << c.number;
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
    ASSERT_TRUE(config::RegWriteDword(config::kAgentKey, config::kActivityLogEnabled, 2));
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(IsWhitelisted("192.168.1.20"), 0);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace kz::whitelist
