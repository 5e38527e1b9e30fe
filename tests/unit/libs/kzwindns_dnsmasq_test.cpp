// The DNS blacklist lookup against a real DNS server: dnsmasq serving made-up zones.

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "blacklist_lookup.h"
#include "library_log.h"
#include "provider_support/server_list.h"
#include "support/dnsmasq_server.h"

namespace kz::windns {
namespace {

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
