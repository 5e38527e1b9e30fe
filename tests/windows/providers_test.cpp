// The Windows provider libraries loaded by the agent, as the MTA loads it, against the
// daemons the test script starts: dnsmasq serving the made-up zones of tests/fixtures/dns
// (its address in KZ_DNS_SERVER), spamd and clamd on TCP loopback (KZ_SPAMD_SERVER,
// KZ_CLAMD_SERVER). Each case must leave the outcome the Linux libraries leave, which the
// case's outcome.txt holds.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "loaded_agent.h"
#include "platform/environment.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

constexpr std::string_view kProductKey = "SOFTWARE\\Kaztrel\\Kaztrel";
constexpr std::string_view kAgentKey =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

// The address the test script passed in `variable`; empty (and a failure) without one.
std::string server(const char* variable) {
    const char* address = std::getenv(variable);
    EXPECT_TRUE(address && *address) << variable << " (scripts/test-windows.sh starts it)";
    return address ? address : "";
}

std::string libraryFolder() {
    const std::string library = builtFile("KZMTAFILTER.DLL");
    return library.substr(0, library.find_last_of("/\\"));
}

TEST(DnsBlacklistLibrary, AListedLinkAddressIsNamedInTheHeaderAsOnLinux) {
    const std::string dns = server("KZ_DNS_SERVER");
    ASSERT_FALSE(dns.empty());
    LoadedAgent agent("blacklists");
    platform::Registry registry = agent.registry();
    registry.setString(kProductKey, "Application Directory", libraryFolder());
    registry.setString("SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP", "Local DNS Server List",
                       dns);
    registry.setDword(kAgentKey, "Perform SBLRBL", 1);
    registry.setString(std::string(kAgentKey) + "\\DNS Blacklists", "Address Zones", "bl.test");
    for (const char* id : {"CLEAN1.MAI", "CLEAN2.MAI"}) agent.queue(id, "clean_link");
    agent.queue("LISTED.MAI", "listed_link");
    agent.filter({"CLEAN1.MAI", "CLEAN2.MAI", "LISTED.MAI"});
    EXPECT_EQ(agent.outcome(), readWhole(fixture("dispatch/blacklists/outcome.txt")));
}

// The Bayesian provider on, loaded at attach, its tokens in `database`.
void useBayes(const LoadedAgent& agent, const std::string& database) {
    platform::Registry registry = agent.registry();
    registry.setString(kProductKey, "Application Directory", libraryFolder());
    registry.setDword(kAgentKey, "Bayesian Filtering Status", 1);
    registry.setDword(kAgentKey, "Bayesian Filtering Load Mode", 1);
    registry.setString(std::string(kAgentKey) + "\\Bayesian", "Database", database);
}

TEST(BayesianLibrary, TaughtThroughFilterCommandItHoldsSpamAndLetsHamThroughAsOnLinux) {
    LoadedAgent agent("bayes");
    useBayes(agent, agent.file("bayes.sqlite"));
    std::vector<std::string> commands;
    for (const char* category : {"SPAM", "HAM"}) {
        const std::string folder = category[0] == 'S' ? "spam" : "ham";
        for (int i = 1; i <= 4; ++i) {
            commands.push_back(std::string("LEARN ") + category + " " +
                               fixture("bayes/train/" + folder + "/" + std::to_string(i) + ".eml"));
        }
    }
    const std::string envelope = readWhole(fixture("dispatch/messages/prize.cmd"));
    for (const char* name : {"SPAM", "HAM"}) {
        const std::string id = std::string(name) + ".MAI";
        const std::string sample = name[0] == 'S' ? "spam.eml" : "ham.eml";
        agent.queueText(id, envelope, readWhole(fixture("bayes/" + sample)));
    }
    agent.filter({"SPAM.MAI", "HAM.MAI"}, commands);
    EXPECT_EQ(agent.outcome(), readWhole(fixture("dispatch/bayes/outcome.txt")));
}

// The Windows library has no Redis client: a redis:// "Database" is refused with one
// event, no message is scored, and the mail goes on.
TEST(BayesianLibrary, ARedisStoreIsRefusedWithAnEventAndMailFlowsOn) {
    LoadedAgent agent("bayes");
    useBayes(agent, "redis://127.0.0.1:6379/0");
    const std::string envelope = readWhole(fixture("dispatch/messages/prize.cmd"));
    for (const char* id : {"SPAM.MAI", "HAM.MAI"})
        agent.queueText(id, envelope, readWhole(fixture("bayes/spam.eml")));
    platform::setEnvironment("KZ_EVENTLOG", agent.file("events.log"));
    agent.filter({"SPAM.MAI", "HAM.MAI"});
    platform::setEnvironment("KZ_EVENTLOG", "");
    const std::string outcome = agent.outcome();
    EXPECT_EQ(outcome.find("Executed"), std::string::npos) << outcome;
    for (const char* id : {"SPAM.MAI", "HAM.MAI"})
        EXPECT_NE(outcome.find(std::string("== queue/SMTP/Inbound/Messages/") + id),
                  std::string::npos)
            << outcome;
    // One event for both messages: at most one a minute.
    const std::string events = readWhole(agent.file("events.log"));
    const std::string refusal =
        "Redis 127.0.0.1:6379 database 0: this Windows build keeps the tokens in SQLite only";
    const std::size_t first = events.find(refusal);
    EXPECT_NE(first, std::string::npos) << events;
    EXPECT_EQ(events.find(refusal, first + 1), std::string::npos) << events;
}

// SpamAssassin and the scanner on together: KZFLTMSA and KZAVGEN hold what spamd and
// clamd find.
TEST(DaemonLibraries, SpamAndAVirusAreHeldAsOnLinux) {
    const std::string spamd = server("KZ_SPAMD_SERVER"), clamd = server("KZ_CLAMD_SERVER");
    ASSERT_FALSE(spamd.empty() || clamd.empty());
    LoadedAgent agent("daemons");
    platform::Registry registry = agent.registry();
    registry.setString(kProductKey, "Application Directory", libraryFolder());
    registry.setDword(kAgentKey, "SpamAssassin Enabled", 1);
    registry.setDword(kAgentKey, "Antivirus Status", 1);
    registry.setString(std::string(kAgentKey) + "\\SpamAssassin", "Server", spamd);
    registry.setString(std::string(kAgentKey) + "\\Antivirus", "Server", clamd);
    const std::string envelope = readWhole(fixture("providers/daemons/message.cmd"));
    for (const auto& [id, sample] :
         {std::pair{"EICAR.MAI", "eicar"}, {"GTUBE.MAI", "gtube"}, {"PLAIN.MAI", "plain"}}) {
        agent.queueText(id, envelope,
                        readWhole(fixture("providers/daemons/" + std::string(sample) + ".eml")));
    }
    agent.filter({"EICAR.MAI", "GTUBE.MAI", "PLAIN.MAI"});
    EXPECT_EQ(agent.outcome(), readWhole(fixture("dispatch/daemons/outcome.txt")));
}

}  // namespace
}  // namespace kz::test
