// The DNS client of the platform layer against a real server (dnsmasq serving made-up
// zones), a server that never answers, and the address forms it takes without asking.

#include "platform/dns_query.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/ip_address.h"
#include "support/case_file.h"
#include "support/dnsmasq_server.h"

namespace kz::test {
namespace {

using namespace std::chrono_literals;
using platform::DnsAnswer;
using platform::DnsQuestion;
using platform::DnsResolver;

TEST(IpAddress, StrictAndClassicFormsReadAsTheResolversReadThem) {
    const auto groups = ReadCaseGroups("platform/address_cases.txt");
    const std::map<std::string, std::function<std::optional<uint32_t>(const std::string&)>>
        readings = {{"parseIPv4", [](const std::string& t) { return platform::parseIPv4(t); }},
                    {"parseIPv4Numeric",
                     [](const std::string& t) { return platform::parseIPv4Numeric(t); }}};
    for (const auto& [reading, read] : readings) {
        for (const CaseLine& c : groups.at(reading)) {
            const std::optional<uint32_t> address = read(c.fields[0]);
            EXPECT_EQ(address ? platform::formatIPv4(*address) : "-", c.fields.back())
                << reading << " line " << c.number;
        }
    }
}

TEST(DnsResolver, AddressesTextsAndMissingNamesAreAnsweredTogether) {
    DnsmasqServer dns(fixture("dns/blacklist.hosts"),
                      {"--local=/bl.test/",
                       "--txt-record=sel._domainkey.example.net,v=DKIM1; "
                       "p=abc"});
    DnsResolver resolver(platform::parseDnsServerList(dns.server()).servers, 1000ms);
    ASSERT_TRUE(resolver.usable());
    const std::vector<DnsAnswer> answers =
        resolver.ask({{"9.113.0.203.bl.test"},
                      {"8.113.0.203.bl.test"},
                      {"sel._domainkey.example.net", DnsQuestion::Kind::Text},
                      {"localhost", DnsQuestion::Kind::HostAddress}},
                     DnsResolver::Clock::now() + 2s);
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_EQ(answers[0].status, DnsAnswer::Status::Records);
    EXPECT_EQ(answers[0].addresses, std::vector<uint32_t>{0x7F00000Au});
    EXPECT_EQ(answers[1].status, DnsAnswer::Status::NoRecords);
    EXPECT_EQ(answers[2].texts, std::vector<std::string>{"v=DKIM1; p=abc"});
    // A host's address comes from the hosts file before DNS.
    EXPECT_EQ(answers[3].addresses, std::vector<uint32_t>{0x7F000001u});
}

TEST(DnsResolver, AServerThatNeverAnswersCostsTheDeadlineOnce) {
    SilentServer silent;
    DnsResolver resolver(
        platform::parseDnsServerList("127.0.0.1:" + std::to_string(silent.port())).servers, 5000ms);
    std::vector<DnsQuestion> questions;
    for (int i = 0; i < 20; ++i) questions.push_back({"host" + std::to_string(i) + ".test"});
    const auto start = DnsResolver::Clock::now();
    const std::vector<DnsAnswer> answers = resolver.ask(questions, start + 300ms);
    // Twenty questions to a dead server end together at the deadline, not one try each.
    EXPECT_LT(DnsResolver::Clock::now() - start, 3s);
    for (const DnsAnswer& answer : answers) {
        EXPECT_EQ(answer.status, DnsAnswer::Status::Failed);
        EXPECT_TRUE(answer.timedOut);
    }
}

}  // namespace
}  // namespace kz::test
