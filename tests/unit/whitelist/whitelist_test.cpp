// The whitelists: address patterns, and the system and outbound whitelists read from a
// registry copied from tests/fixtures/whitelist/whitelist.reg, with the Configuration
// Directory pointing at the marker-file tree tests/fixtures/whitelist/config.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "config/directories.h"
#include "config/registry_access.h"
#include "config/registry_keys.h"
#include "host/agent.h"
#include "support/case_file.h"
#include "support/test_support.h"
#include "whitelist/address_patterns.h"
#include "whitelist/ipv6_address.h"
#include "whitelist/outbound_whitelist.h"
#include "whitelist/system_whitelist.h"

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

TEST(AddressPatterns, IPv4AndIPv6PatternsAndAddresses) {
    ExpectCases("IPv4Pattern", 12, MatchesIPv4Pattern);
    ExpectCases("AddressPattern", 3, MatchesAddressPattern);
    ExpectCases("IPv6Address", 22, [](const std::string& text, const std::string& mode) {
        return IPv6Address(text, mode == "pattern" ? IPv6Address::Mode::Pattern
                                                   : IPv6Address::Mode::Address)
            .valid();
    });
    ExpectCases("IPv6Pattern", 10, [](std::string_view pattern, std::string_view address) {
        return MatchesIPv6Pattern(pattern, address);
    });
}

class WhitelistTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    host::Agent agent{dir.file("registry.reg")};

    void SetUp() override {
        test::writeFile(dir.file("registry.reg"),
                        test::readFile(test::fixture("whitelist/whitelist.reg")));
        useConfigurationDirectory(test::fixture("whitelist/config"));
    }

    // As at attach: the whitelist copy of the directory is read only then.
    void useConfigurationDirectory(const std::string& path) {
        ASSERT_TRUE(config::machineRegistry()
                        .setString(config::kProductKey, config::kConfigurationDirectory, path)
                        .ok());
        config::ReadAttachDirectories();
    }

    void setSmtpDword(std::string_view name, uint32_t value) {
        ASSERT_TRUE(config::RegWriteDword(config::kSmtpKey, name, value));
    }
};

using OutboundWhitelist = WhitelistTest;
using SystemWhitelist = WhitelistTest;

const auto kOutboundCases = test::ReadCaseGroups("whitelist/outbound_cases.txt");

TEST(OutboundWhitelistKey, ModesAndShapes) {
    EXPECT_EQ(kOutboundCases.at("Key").size(), 10u);
    for (const test::CaseLine& c : kOutboundCases.at("Key")) {
        EXPECT_EQ(OutboundWhitelistKey(c.fields[0], uint32_t(std::stoul(c.fields[1]))), c.fields[2])
            << "line " << c.number;
    }
}

TEST(OutboundMarkerPath, LevelsAndNamesThatWouldLeaveTheirFolder) {
    EXPECT_EQ(OutboundMarkerPath("/cfg", "", "", "10.0.0"),
              "/cfg/Connections/Whitelist/10.0.0.tab");
    EXPECT_EQ(OutboundMarkerPath("/cfg/", "po", "", "k"),
              "/cfg/Postoffices/po/Connections/Whitelist/k.tab");
    EXPECT_EQ(OutboundMarkerPath("/cfg", "po", "box", "k"),
              "/cfg/Postoffices/po/Mailboxes/box/Connections/Whitelist/k.tab");
    EXPECT_EQ(OutboundMarkerPath("/cfg", "", "box", "k"), "/cfg/Connections/Whitelist/k.tab");
    for (std::string_view bad : {"..", ".", "a/b", "a\\..\\b"}) {
        EXPECT_EQ(OutboundMarkerPath("/cfg", bad, "", "k"), "") << bad;
        EXPECT_EQ(OutboundMarkerPath("/cfg", "po", bad, "k"), "") << bad;
        EXPECT_EQ(OutboundMarkerPath("/cfg", "", "", bad), "") << bad;
    }
    EXPECT_EQ(OutboundMarkerPath("/cfg", "", "", ""), "");
}

TEST_F(OutboundWhitelist, MarkerFilesAtEachLevelAndMode) {
    const auto& cases = kOutboundCases.at("Lookup");
    EXPECT_EQ(cases.size(), 15u);
    setSmtpDword(config::kWhitelistOutboundIPAddresses, 1);
    for (const test::CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        ASSERT_GE(f.size(), 5u) << "line " << c.number;
        setSmtpDword(config::kWhitelistOutboundIPAddressMode, uint32_t(std::stoul(f[3])));
        EXPECT_EQ(IsOutboundWhiteListed(f[0], f[1], f[2]), std::stoi(f[4]) != 0)
            << "line " << c.number;
    }
}

TEST_F(OutboundWhitelist, SwitchedOffOrWithoutADirectoryNothingIsTrusted) {
    EXPECT_FALSE(IsOutboundWhiteListed("192.0.2.44", "", ""));  // setting absent
    setSmtpDword(config::kWhitelistOutboundIPAddresses, 0);
    EXPECT_FALSE(IsOutboundWhiteListed("192.0.2.44", "", ""));

    setSmtpDword(config::kWhitelistOutboundIPAddresses, 1);
    // The run's directory changes; the whitelist keeps the copy read at attach.
    ASSERT_TRUE(config::machineRegistry()
                    .setString(config::kProductKey, config::kConfigurationDirectory, "/nowhere")
                    .ok());
    config::ReadRunDirectories();
    EXPECT_TRUE(IsOutboundWhiteListed("192.0.2.44", "", ""));

    useConfigurationDirectory("");
    EXPECT_FALSE(IsOutboundWhiteListed("192.0.2.44", "", ""));
}

TEST_F(OutboundWhitelist, AFolderThatCannotBeSearchedCountsAsHoldingTheMarker) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    std::string folder = dir.file("config/Connections/Whitelist");
    test::writeFile(folder + "/unrelated.tab", "");
    ASSERT_EQ(::chmod(folder.c_str(), 0), 0);
    useConfigurationDirectory(dir.file("config"));
    setSmtpDword(config::kWhitelistOutboundIPAddresses, 1);
    EXPECT_TRUE(IsOutboundWhiteListed("10.0.0.7", "", ""));
    ::chmod(folder.c_str(), 0755);
}

std::string registeredLine(std::string_view address) {
    return " KZ-I0092: " + std::string(address) +
           " is registered in the system whitelist and was therefore excluded from checking\n";
}

TEST_F(SystemWhitelist, AddressesAgainstTheFixtureList) {
    for (const test::CaseLine& c : test::ReadCaseFile("whitelist/system_cases.txt")) {
        const std::string& address = c.fields[0];
        const bool whitelisted = std::stoi(c.fields[1]) != 0;
        ::testing::internal::CaptureStdout();
        EXPECT_EQ(IsWhitelisted(address), whitelisted) << "line " << c.number;
        std::string out = ::testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, whitelisted ? registeredLine(address) : "") << "line " << c.number;
    }
}

TEST_F(SystemWhitelist, EntriesCountFromTheNextCallAndWithoutTheKeyNothingIsWhitelisted) {
    EXPECT_FALSE(IsWhitelisted("10.1.2.3"));
    ASSERT_TRUE(config::machineRegistry().setString(config::kWhiteListKey, "10.*.*.*", "").ok());
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(IsWhitelisted("10.1.2.3"));
    ::testing::internal::GetCapturedStdout();

    InstalledObject<platform::Registry> empty(dir.file("empty.reg"));
    ASSERT_TRUE(config::RegWriteDword(config::kAgentKey, config::kActivityLogEnabled, 2));
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(IsWhitelisted("192.168.1.20"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace kz::whitelist
