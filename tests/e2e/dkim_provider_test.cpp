// The DKIM library loaded by the agent, keys served by dnsmasq: a filter that holds
// messages whose signature fails.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry.h"
#include "provider_server.h"
#include "support/dkim_signing.h"
#include "support/dnsmasq_server.h"

namespace kz::test {
namespace {

TEST(DkimProvider, AFailedSignatureIsHeldWithItsHeaderAndAValidOneGoesOn) {
    TempDir keys;
    const DkimKey key = MakeDkimKey(keys, "sel");
    ASSERT_FALSE(key.record.empty()) << "opendkim-genkey (scripts/setup.sh installs it)";
    DnsmasqServer dns(
        fixture("dns/blacklist.hosts"),
        {"--local=/example.net/", TxtRecordOption("sel._domainkey.example.net", key.record)});
    ProviderServer server("", "");
    platform::Registry registry(server.registry);
    registry.setDword("SOFTWARE\\Kaztrel\\Kaztrel", "Debug DKIM", 1);
    const std::string smtp = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP";
    registry.setDword(smtp, "Domain Keys Status", 1);
    registry.setString(smtp, "Local DNS Server List", dns.server());
    std::filesystem::remove_all(server.dir.file("config"));
    std::filesystem::copy(fixture("dkim/config"), server.dir.file("config"),
                          std::filesystem::copy_options::recursive);
    const std::string good = SignMessage(readFile(fixture("dkim/message.eml")), key, "sel");
    std::string altered = good;
    altered.replace(altered.find("attached"), 8, "enclosed");

    RunOutput out = server.queueAndFilter({{"GOOD.MAI", good}, {"ALTERED.MAI", altered}});
    EXPECT_NE(out.out.find("Domain Keys - Loading Complete.\n"), std::string::npos) << out.out;
    EXPECT_TRUE(server.held("ALTERED.MAI")) << out.out;
    EXPECT_EQ(readFile(server.dir.file("quarantine/Messages/ALTERED.MAI"))
                  .rfind("Authentication-Results: dkim=fail (body hash invalid)\r\n", 0),
              0u);
    EXPECT_TRUE(server.untouched("GOOD.MAI")) << out.out;
    EXPECT_EQ(readFile(server.inbound + "/Messages/GOOD.MAI"), good);
}

}  // namespace
}  // namespace kz::test
