// The DNS blacklist library loaded by the agent, asking dnsmasq about the hosts of links.

#include <gtest/gtest.h>

#include "e2e/dispatch_server.h"
#include "platform/registry.h"
#include "support/dnsmasq_server.h"

namespace kz::test {
namespace {

constexpr std::string_view kBlacklistsKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER\\DNS Blacklists";

TEST(DnsBlacklist, AListedAddressHoldsTheFilterAndASilentZoneIsWaitedForOnce) {
    SilentServer silent;
    DnsmasqServer dns(fixture("dns/blacklist.hosts"),
                      {"--local=/bl.test/", "--address=/2.0.192.bl.test/127.0.0.4",
                       "--server=/slow.test/127.0.0.1#" + std::to_string(silent.port())});
    DispatchServer server("blacklists");
    platform::Registry registry(server.registry);
    registry.setString("SOFTWARE\\Kaztrel\\Kaztrel", "Application Directory", libDir());
    registry.setString("SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP", "Local DNS Server List",
                       "bogus; " + dns.server());
    registry.setDword("SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER",
                      "Perform SBLRBL", 1);
    registry.setString(kBlacklistsKey, "Address Zones", "slow.test, bl.test");
    registry.setDword(kBlacklistsKey, "Timeout", 300);
    server.queue("CLEAN1.MAI", "clean_link");
    server.queue("CLEAN2.MAI", "clean_link");
    server.queue("LISTED.MAI", "listed_link");

    RunOutput out = server.filter({"CLEAN1.MAI", "CLEAN2.MAI", "LISTED.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    const std::string log = server.reportLog();
    EXPECT_NE(log.find("DNS blacklists: ignored DNS servers that are not addresses: bogus"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Message LISTED.MAI has link to blacklisted IP. 192.0.2.5 (192.0.2.5) was "
                       "found in blacklist bl.test"),
              std::string::npos)
        << out.out << log;
    EXPECT_NE(readFile(server.messageFile("LISTED.MAI")).find("X-KZ-Blacklist: bl.test\r\n"),
              std::string::npos);
    for (const char* clean : {"CLEAN1.MAI", "CLEAN2.MAI"}) {
        EXPECT_EQ(readFile(server.messageFile(clean)),
                  readFile(fixture("dispatch/messages/clean_link.eml")));
    }
    // The silent zone cost one timeout for the unlisted address, whose answers the
    // library kept for the later messages.
    EXPECT_EQ(dns.questionsFor("7.100.51.198.slow.test"), 1);
    EXPECT_EQ(dns.questionsFor("7.100.51.198.bl.test"), 1);
    EXPECT_NE(log.find("zone slow.test gave no answer for 7.100.51.198.slow.test: no answer "
                       "within 300 ms"),
              std::string::npos);
}

}  // namespace
}  // namespace kz::test
