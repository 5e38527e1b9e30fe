#include "filters/link_blacklist.h"

#include <gtest/gtest.h>

#include "dns/dns_library.h"
#include "log/log_lifecycle.h"
#include "support/dnsmasq_server.h"
#include "unit/platform/scoped_env.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

class LinkBlacklist : public ProviderTest {
  protected:
    void SetUp() override {
        ProviderTest::SetUp();
        // Nothing listens there: a name is refused at once.
        setString(reg::kSmtpKey, reg::kLocalDnsServerList, "127.0.0.53 127.0.0.54");
    }
    void TearDown() override {
        log::StopLogging();
        ProviderTest::TearDown();
    }

    // Starts the DNS library as attach does, with the log lock in place.
    void start(const std::string& stub, const std::string& listed) {
        install(stub, "KZWINDNS");
        answer("KZWINDNS", listed);
        config::ReadAttachSettings();
        log::StartLogging();
        EXPECT_EQ(dns::StartDnsLibrary(), 7);
    }

    // Finds a listed link; returns the list name ("" when none) and the debug log.
    std::pair<std::string, std::string> find(std::string_view text) {
        std::string response, listName;
        testing::internal::CaptureStdout();
        const int found = filters::FindBlacklistedLink("M1", lookups, text, response, listName);
        std::string log = testing::internal::GetCapturedStdout();
        return {found ? listName : "", log};
    }

    std::vector<std::string> lookedUp() {
        std::vector<std::string> hosts;
        for (const std::string& call : calls("KZWINDNS"))
            if (call.rfind("HasORBDBEntry|", 0) == 0) hosts.push_back(call.substr(14));
        return hosts;
    }

    filters::LinkLookups lookups;
    ScopedEnv runtime{"KZ_RUNTIME_DIR", dir_.path()};
};

TEST_F(LinkBlacklist, HostsAreFoundDecodedAndLookedUpWithTheirAddress) {
    start("kzstub_dns", "127.0.0.9 sbl.example\n");
    auto [list, log] = find(
        "see HTTP://127.0.0.5/a?b and <a href=\"https://no-such-host.invalid/\">x</a> "
        "http://%zz/ then Http://%31%32%37.0.0.9/offer'more");
    EXPECT_EQ(list, "sbl.example");
    EXPECT_EQ(lookedUp(), (std::vector<std::string>{"127.0.0.5|127.0.0.5", "127.0.0.9|127.0.0.9"}));
    EXPECT_NE(log.find("Message M1 has link to blacklisted IP. 127.0.0.9 (127.0.0.9) was found in "
                       "blacklist sbl.example\n"),
              std::string::npos);
    // The server list went to the library, and its log lines up to "Debug Logging Level".
    EXPECT_EQ(calls("KZWINDNS")[0], "SetLoggingFunction|name|stream|lock");
    EXPECT_EQ(calls("KZWINDNS")[1], "DNSInitialize|127.0.0.53 127.0.0.54");
    EXPECT_EQ(calls("KZWINDNS")[2], "log|1|0");
    // Percent escapes in a host are decoded, or the host refused.
    EXPECT_EQ(filters::LinkHost("a%2Eb/c%zz"), "a.b");
    EXPECT_EQ(filters::LinkHost("a%2"), std::nullopt);
    EXPECT_EQ(filters::LinkHost("a%g1"), std::nullopt);
    EXPECT_EQ(filters::LinkHost("/path"), "");
}

TEST_F(LinkBlacklist, MaxChecksBoundsBothPasses) {
    start("kzstub_dns_nolog", "");
    const std::string links =
        "http://127.0.0.1/ http://127.0.0.2/ http://127.0.0.3/ https://127.0.0.4/ "
        "https://127.0.0.5/";
    find(links);
    // "URI SBL Max Checks" 0: the http pass ends after its second unlisted link, the
    // https pass after its first.
    EXPECT_EQ(lookedUp(), (std::vector<std::string>{"127.0.0.1|127.0.0.1", "127.0.0.2|127.0.0.2",
                                                    "127.0.0.4|127.0.0.4"}));
    // Without "SetLoggingFunction" the library still starts.
    EXPECT_EQ(calls("KZWINDNS")[0], "DNSInitialize|127.0.0.53 127.0.0.54");
}

TEST_F(LinkBlacklist, LongHostsAreCutInTheLogLine) {
    // Leading zeros keep a dotted address valid (0177 is octal 127) and make it long.
    const std::string host = std::string(230, '0') + "177.0.0.7";
    start("kzstub_dns", host + " zone\n");
    auto [list, log] = find("http://" + host + "/x");
    EXPECT_EQ(list, "zone");
    EXPECT_NE(log.find("link to blacklisted IP. " + std::string(200, '0') +
                       "... (127.0.0.7) was "
                       "found in blacklist zone\n"),
              std::string::npos);
}

TEST_F(LinkBlacklist, UnresolvableHostsAreBoundedPerMessage) {
    start("kzstub_dns", "127.0.0.8 late\n");
    std::string text;
    for (int i = 0; i < filters::kMaxUnresolvedHosts + 5; ++i)
        text += "http://no-such-host-" + std::to_string(i) + ".invalid/ ";
    EXPECT_EQ(find(text + "http://127.0.0.8/").first, "");
    EXPECT_TRUE(lookedUp().empty());
}

TEST_F(LinkBlacklist, HostsOfADeadServerCostOneDeadlineForTheWholeMessage) {
    SilentServer silent;
    setString(reg::kSmtpKey, reg::kLocalDnsServerList,
              "127.0.0.1:" + std::to_string(silent.port()));
    setDword(std::string(reg::kAgentKey) + "\\DNS Blacklists", "Timeout", 300);
    start("kzstub_dns", "127.0.0.8 late\n");
    std::string first, second;
    for (int i = 0; i < 10; ++i) first += "http://dead-" + std::to_string(i) + ".test/ ";
    for (int i = 0; i < 5; ++i) second += "https://gone-" + std::to_string(i) + ".test/ ";
    const auto began = std::chrono::steady_clock::now();
    // Two texts of one message share its deadline: the first spends it on its ten hosts
    // at once, the second is not looked at, not even its listed address.
    auto [none, firstLog] = find(first);
    auto [list, log] = find(second + "http://127.0.0.8/");
    log = firstLog + log;
    EXPECT_EQ(none, "");
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(3));
    EXPECT_EQ(list, "");
    EXPECT_TRUE(lookedUp().empty());
    EXPECT_NE(log.find("Message M1: link checks stopped after 300 ms"), std::string::npos) << log;
}

TEST_F(LinkBlacklist, AnExceptionFromTheLibraryIsReportedAndPassedOn) {
    start("kzstub_dns", "");
    std::string response, listName;
    EXPECT_THROW(dns::HasOrbdbEntry("h.example", "127.0.0.66", response, listName),
                 std::runtime_error);
    // Without a library every link looks unlisted.
    install("kzstub_dns", "KZWINDNS2");
    std::filesystem::remove(appDir() + "/KZWINDNS.so");
    EXPECT_EQ(dns::StartDnsLibrary(), 0);
    EXPECT_EQ(find("http://127.0.0.1/").first, "");
}

}  // namespace
}  // namespace kz::test
