// The DNS blacklist library's reading of its settings, the names it asks and what the
// answers mean; its lookups against a real DNS server: dnsmasq serving made-up zones.

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "answer_cache.h"
#include "answer_meaning.h"
#include "blacklist_lookup.h"
#include "library_log.h"
#include "platform/dns_negative_ttl.h"
#include "provider_support/server_list.h"
#include "query_names.h"
#include "support/case_file.h"
#include "support/dnsmasq_server.h"
#include "support/test_support.h"
#include "zone_list.h"

namespace kz::windns {
using providers::ParseServerList;
using providers::ServerList;
namespace {

uint32_t ip(const char* text) {
    in_addr address{};
    inet_pton(AF_INET, text, &address);
    return ntohl(address.s_addr);
}

TEST(WinDnsSettings, ServerAndZoneListsTakeEveryFormAndRejectTheRest) {
    ServerList list = ParseServerList(
        " 127.0.0.1:5353;10.0.0.1,\t::1 [2001:db8::1]:54 bogus 1.2.3.4:0 "
        "1.2.3.4: 1.2.3.4:65536 [::1 ");
    ASSERT_EQ(list.servers.size(), 4u);
    EXPECT_EQ(list.servers[0].family, AF_INET);
    EXPECT_EQ(list.servers[0].port, 5353);
    EXPECT_EQ(list.servers[1].port, 53);
    EXPECT_EQ(list.servers[2].family, AF_INET6);
    EXPECT_EQ(list.servers[2].port, 53);
    EXPECT_EQ(list.servers[3].family, AF_INET6);
    EXPECT_EQ(list.servers[3].port, 54);
    EXPECT_EQ(list.rejected, (std::vector<std::string>{"bogus", "1.2.3.4:0",
                                                       "1.2.3.4:", "1.2.3.4:65536", "[::1"}));
    EXPECT_TRUE(ParseServerList("").servers.empty());
    // Zone names are normalised and carry their error codes.
    ZoneList zones = ParseZoneList(
        " Bl.Test. ,multi.uribl.com,bad zone!, x.test=127.0.0.1 127.0.0.5,y.test=nope,,a..b");
    ASSERT_EQ(zones.zones.size(), 3u);
    EXPECT_EQ(zones.zones[0].name, "bl.test");
    EXPECT_TRUE(zones.zones[0].errorCodes.empty());
    // A well-known zone brings its documented "query blocked" answer along.
    EXPECT_EQ(zones.zones[1].errorCodes, std::vector<uint32_t>{ip("127.0.0.1")});
    EXPECT_EQ(zones.zones[2].errorCodes, (std::vector<uint32_t>{ip("127.0.0.1"), ip("127.0.0.5")}));
    EXPECT_EQ(zones.rejected, (std::vector<std::string>{"bad zone!", "y.test=nope", "a..b"}));
}

TEST(WinDnsNames, LinkHostsBecomeTheNamesTheZonesAreAsked) {
    const auto groups = test::ReadCaseGroups("dns/name_cases.txt");
    const std::map<std::string, std::function<std::optional<std::string>(const test::CaseLine&)>>
        readings = {
            {"LinkHostName",
             [](const test::CaseLine& c) { return LinkHostName(test::Unescape(c.fields[0])); }},
            {"RegisteredDomain",
             [](const test::CaseLine& c) { return RegisteredDomain(c.fields[0]); }},
            {"ReversedAddress",
             [](const test::CaseLine& c) { return ReversedAddress(c.fields[0]); }},
            {"QueryName",
             [](const test::CaseLine& c) { return QueryName(c.fields[0], c.fields[1]); }},
        };
    for (const auto& [reading, read] : readings) {
        for (const test::CaseLine& c : groups.at(reading))
            EXPECT_EQ(read(c).value_or("-"), c.fields.back()) << reading << " line " << c.number;
    }
}

TEST(WinDnsAnswers, OnlyLoopbackAnswersListAndANoSuchNameAnswerIsKeptForItsSoaTtl) {
    Zone zone{"bl.test", {ip("127.0.0.1")}};
    auto answer = [](std::vector<uint32_t> addresses) {
        QueryOutcome outcome;
        outcome.status = QueryOutcome::Status::Addresses;
        outcome.addresses = std::move(addresses);
        return outcome;
    };
    EXPECT_EQ(MeaningOf(answer({ip("127.0.0.2")}), zone).meaning, Meaning::Listed);
    EXPECT_EQ(MeaningOf(answer({ip("127.0.0.1")}), zone).meaning, Meaning::Refused);
    EXPECT_EQ(MeaningOf(answer({ip("127.255.255.254")}), zone).meaning, Meaning::Refused);
    EXPECT_EQ(MeaningOf(answer({ip("192.0.2.1")}), zone).meaning, Meaning::NotListed);
    EXPECT_EQ(MeaningOf(answer({ip("128.0.0.2")}), zone).meaning, Meaning::NotListed);
    // A listing among several records wins over a refusal.
    Verdict mixed = MeaningOf(answer({ip("127.255.255.255"), ip("127.0.0.11")}), zone);
    EXPECT_EQ(mixed.meaning, Meaning::Listed);
    EXPECT_EQ(mixed.answer, ip("127.0.0.11"));
    QueryOutcome failed;
    failed.addresses = {ip("127.0.0.2")};
    EXPECT_EQ(MeaningOf(failed, zone).meaning, Meaning::NotListed);
    // Answers as dnsmasq sent them from an authoritative zone with a TTL of 7 seconds.
    const std::string missing = test::readFile(test::fixture("dns/nxdomain_with_soa.bin"));
    const auto* bytes = reinterpret_cast<const unsigned char*>(missing.data());
    const int length = static_cast<int>(missing.size());
    EXPECT_EQ(platform::negativeTtlOf(bytes, length), std::chrono::seconds(7));
    for (int cut : {11, 30, length - 1})
        EXPECT_EQ(platform::negativeTtlOf(bytes, cut), std::nullopt) << cut;
    // An answer whose authority section holds only NS records.
    const std::string listed = test::readFile(test::fixture("dns/listed_with_ns.bin"));
    EXPECT_EQ(platform::negativeTtlOf(reinterpret_cast<const unsigned char*>(listed.data()),
                                      static_cast<int>(listed.size())),
              std::nullopt);
}

TEST(WinDnsCache, AnswersLiveForTheirTtlAndTheOldestMakesRoom) {
    AnswerCache cache(2);
    const auto start = AnswerCache::Clock::time_point{};
    QueryOutcome outcome;
    outcome.status = QueryOutcome::Status::Addresses;
    outcome.ttl = std::chrono::seconds(10);
    cache.store("a", outcome, start);
    EXPECT_TRUE(cache.find("a", start + std::chrono::seconds(9)));
    EXPECT_FALSE(cache.find("a", start + std::chrono::seconds(10)));
    EXPECT_EQ(cache.size(), 0u);  // the expired entry went on the way

    outcome.ttl = std::chrono::seconds(0);
    cache.store("zero", outcome, start);
    EXPECT_FALSE(cache.find("zero", start));

    outcome.ttl = std::chrono::hours(1000);
    cache.store("b", outcome, start);
    cache.store("c", outcome, start);
    cache.store("b", outcome, start);  // stored again: now the newest
    cache.store("d", outcome, start);
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_FALSE(cache.find("c", start));
    EXPECT_TRUE(cache.find("b", start));
    // However long the TTL, a day at most.
    EXPECT_FALSE(cache.find("d", start + kLongestTtl));
}

// Against dnsmasq.

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::mutex gLinesMutex;
std::string gLines;

int KZ_STDCALL collect(uint32_t, uint32_t, uint32_t, uint32_t, const char* text) {
    std::lock_guard hold(gLinesMutex);
    gLines += text;
    return 1;
}

class WinDnsLookup : public testing::Test {
  protected:
    void SetUp() override {
        gLines.clear();
        SetLogCallback(&collect);
    }
    void TearDown() override { SetLogCallback(nullptr); }

    std::unique_ptr<BlacklistLookup> lookup(const std::string& domainZones,
                                            std::chrono::milliseconds timeout = 2000ms) {
        BlacklistSettings settings;
        settings.domainZones = ParseZoneList(domainZones);
        settings.addressZones = ParseZoneList("bl.test");
        settings.timeout = timeout;
        return std::make_unique<BlacklistLookup>(std::move(settings),
                                                 providers::ParseServerList(dns.server()).servers);
    }

    static std::string lines() {
        std::lock_guard hold(gLinesMutex);
        return gLines;
    }

    test::SilentServer silent;
    test::DnsmasqServer dns{
        test::fixture("dns/blacklist.hosts"),
        {"--local=/bl.test/", "--local=/dbl.test/", "--address=/2.0.192.bl.test/127.0.0.4",
         "--server=/slow.test/127.0.0.1#" + std::to_string(silent.port())}};
};

TEST_F(WinDnsLookup, DomainAndAddressZonesListAndRefusalsOrOtherAnswersDoNot) {
    auto blacklist = lookup("dbl.test=127.0.0.1");
    Listing listing;
    ASSERT_TRUE(blacklist->isListed("a.b.Example.co.uk", "198.51.100.1", listing)) << lines();
    EXPECT_EQ(listing.zone, "dbl.test");
    EXPECT_EQ(listing.answer, "127.0.0.2");
    EXPECT_EQ(dns.questionsFor("example.co.uk.dbl.test"), 1);
    EXPECT_EQ(dns.questionsFor("1.100.51.198.bl.test"), 1);  // both asked at once

    ASSERT_TRUE(blacklist->isListed("www.clean.test", "192.0.2.77", listing));
    EXPECT_EQ(listing.zone, "bl.test");
    EXPECT_EQ(listing.answer, "127.0.0.4");
    EXPECT_TRUE(blacklist->isListed("203.0.113.9", "203.0.113.9", listing));
    EXPECT_TRUE(blacklist->isListed("user@WWW.SPAM.TEST.:81", "198.51.100.1", listing));

    EXPECT_FALSE(blacklist->isListed("www.clean.test", "198.51.100.1", listing));
    EXPECT_FALSE(blacklist->isListed("refused.test", "198.51.100.2", listing));
    EXPECT_FALSE(blacklist->isListed("blocked.test", "198.51.100.3", listing));
    EXPECT_FALSE(blacklist->isListed("rewritten.test", "198.51.100.4", listing));
    EXPECT_FALSE(blacklist->isListed("", "", listing));
    EXPECT_NE(lines().find("zone dbl.test refused the query for refused.test.dbl.test (answer "
                           "127.255.255.254); not taken as listed\n"),
              std::string::npos)
        << lines();
}

TEST_F(WinDnsLookup, ASilentZoneCostsTheTimeoutOncePerRegisteredDomain) {
    auto blacklist = lookup("slow.test, dbl.test", 300ms);
    Listing listing;
    auto started = Clock::now();
    EXPECT_TRUE(blacklist->isListed("spam.test", "198.51.100.1", listing));
    auto took = Clock::now() - started;
    EXPECT_GE(took, 290ms);
    EXPECT_LT(took, 1000ms);
    EXPECT_EQ(listing.zone, "dbl.test");
    EXPECT_NE(lines().find("zone slow.test gave no answer for spam.test.slow.test: no answer "
                           "within 300 ms\n"),
              std::string::npos)
        << lines();

    started = Clock::now();
    EXPECT_TRUE(blacklist->isListed("www.spam.test", "198.51.100.1", listing));
    EXPECT_LT(Clock::now() - started, 100ms);
    EXPECT_EQ(dns.questionsFor("spam.test.slow.test"), 1);
    EXPECT_EQ(dns.questionsFor("spam.test.dbl.test"), 1);

    // Another domain waits again, but the dead zone's line is not repeated within the minute.
    EXPECT_FALSE(blacklist->isListed("other.test", "198.51.100.2", listing));
    EXPECT_EQ(dns.questionsFor("other.test.slow.test"), 1);
    EXPECT_EQ(lines().find("gave no answer for other.test"), std::string::npos) << lines();
}

TEST_F(WinDnsLookup, FourThreadsAtOnceEachGetTheirOwnAnswers) {
    auto blacklist = lookup("dbl.test");
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 40; ++i) {
                // Listed by address for even i, by name for i divisible by 3.
                const std::string host =
                    "h" + std::to_string(i) +
                    (i % 3 == 0 ? ".spam.test" : ".clean" + std::to_string(t) + ".test");
                const std::string address =
                    (i % 2 == 0 ? "192.0.2." : "198.51.100.") + std::to_string(t * 50 + i);
                Listing listing;
                const bool expected = i % 2 == 0 || i % 3 == 0;
                if (blacklist->isListed(host, address, listing) != expected) ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0) << lines();
}

}  // namespace
}  // namespace kz::windns
