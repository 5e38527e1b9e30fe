#include "whitelist/outbound_whitelist.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/case_file.h"
#include "unit/whitelist/whitelist_fixture.h"

namespace kz::whitelist {
namespace {

using OutboundWhitelist = testing::WhitelistTest;

const auto kCases = test::ReadCaseGroups("whitelist/outbound_cases.txt");

TEST(OutboundWhitelistKey, ModesAndShapes) {
    EXPECT_EQ(kCases.at("Key").size(), 10u);
    for (const test::CaseLine& c : kCases.at("Key")) {
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
    const auto& cases = kCases.at("Lookup");
    EXPECT_EQ(cases.size(), 15u);
    setSmtpDword(config::kWhitelistOutboundIPAddresses, 1);
    for (const test::CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        ASSERT_GE(f.size(), 5u) << "line " << c.number;
        setSmtpDword(config::kWhitelistOutboundIPAddressMode, uint32_t(std::stoul(f[3])));
        EXPECT_EQ(IsOutboundWhiteListed(f[0], f[1], f[2]), std::stoi(f[4])) << "line " << c.number;
    }
}

TEST_F(OutboundWhitelist, SwitchedOffOrWithoutADirectoryNothingIsTrusted) {
    EXPECT_EQ(IsOutboundWhiteListed("192.0.2.44", "", ""), 0);  // setting absent
    setSmtpDword(config::kWhitelistOutboundIPAddresses, 0);
    EXPECT_EQ(IsOutboundWhiteListed("192.0.2.44", "", ""), 0);

    setSmtpDword(config::kWhitelistOutboundIPAddresses, 1);
    // The run's directory changes; the whitelist keeps the copy read at attach.
    ASSERT_TRUE(config::machineRegistry()
                    .setString(config::kProductKey, config::kConfigurationDirectory, "/nowhere")
                    .ok());
    config::ReadRunDirectories();
    EXPECT_EQ(IsOutboundWhiteListed("192.0.2.44", "", ""), 1);

    useConfigurationDirectory("");
    EXPECT_EQ(IsOutboundWhiteListed("192.0.2.44", "", ""), 0);
}

TEST_F(OutboundWhitelist, AFolderThatCannotBeSearchedCountsAsHoldingTheMarker) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind root";
    std::string folder = dir.file("config/Connections/Whitelist");
    test::writeFile(folder + "/unrelated.tab", "");
    ASSERT_EQ(::chmod(folder.c_str(), 0), 0);
    useConfigurationDirectory(dir.file("config"));
    setSmtpDword(config::kWhitelistOutboundIPAddresses, 1);
    EXPECT_EQ(IsOutboundWhiteListed("10.0.0.7", "", ""), 1);
    ::chmod(folder.c_str(), 0755);
}

}  // namespace
}  // namespace kz::whitelist
