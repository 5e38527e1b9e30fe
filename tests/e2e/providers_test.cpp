// The provider libraries loaded by the agent against the services they ask, each started
// by the test: spamd, clamd, dnsmasq serving DNS blacklists and DKIM keys, and the
// Bayesian classifier taught through kzmta. The mail server's filters hold a message (copy
// to quarantine, delete) on a provider's verdict: in case "daemons" when SpamAssassin
// calls it spam or the antivirus scanner finds a virus, in case "bayes" on a Bayesian
// score over 90. The provider libraries of the build are in its Application Directory.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/registry.h"
#include "provider_daemons.h"
#include "provider_server.h"
#include "support/case_file.h"
#include "support/dkim_signing.h"
#include "support/dnsmasq_server.h"

namespace kz::test {
namespace {

const char* kAntivirusOn = "\"Antivirus Status\"=dword:00000001\r\n";
const char* kSpamAssassinOn = "\"SpamAssassin Enabled\"=dword:00000001\r\n";

std::string ServerKey(const std::string& name, const std::string& server,
                      const std::string& extra = "") {
    return ProviderServer::section(name) + "\"Server\"=\"" + server + "\"\r\n" + extra;
}

TEST(SpamdProvider, GtubeIsHeldAPlainMessageIsNotAndAStoppedSpamdHoldsNothingUp) {
    Spamd spamd;
    ASSERT_TRUE(spamd.start()) << "spamd (scripts/setup.sh installs it) did not start: "
                               << readFile(spamd.dir.file("spamd.log"));
    ProviderServer server(kSpamAssassinOn, ServerKey("SpamAssassin", spamd.address));
    const std::string gtube = server.sample("gtube"), plain = server.sample("plain");
    RunOutput out = server.queueAndFilterThenExit({{"GTUBE.MAI", gtube}, {"PLAIN.MAI", plain}});
    EXPECT_NE(out.out.find("SA Filter - Loading Complete.\n"), std::string::npos) << out.out;
    EXPECT_TRUE(server.held("GTUBE.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 0) << readFile(server.events);

    // Without spamd both messages go on unfiltered, with one warning for the two.
    spamd.daemon.stop();
    out = server.queueAndFilter({{"GTUBE2.MAI", gtube}, {"PLAIN2.MAI", plain}});
    EXPECT_TRUE(server.untouched("GTUBE2.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN2.MAI"));
    EXPECT_EQ(server.eventCount(), 1) << readFile(server.events);
    EXPECT_NE(readFile(server.events).find(spamd.address), std::string::npos);
}

TEST(SpamdProvider, MessagesOverMaxSizeAreNotSentAndPass) {
    // Nothing listens on the port: a message that was sent would cost a warning.
    ProviderServer server(
        kSpamAssassinOn,
        ServerKey("SpamAssassin", "127.0.0.1:" + std::to_string(FreeLoopbackPort()),
                  "\"Max Size\"=dword:00000040\r\n"));
    server.queueAndFilter({{"GTUBE.MAI", server.sample("gtube")}});
    EXPECT_TRUE(server.untouched("GTUBE.MAI"));
    EXPECT_EQ(server.eventCount(), 0) << readFile(server.events);
}

TEST(ClamdProvider, EicarIsHeldACleanMessageIsNotAndAStoppedClamdHoldsEverything) {
    Clamd clamd;
    ASSERT_TRUE(clamd.start()) << "clamd (scripts/setup.sh installs it) did not start: "
                               << readFile(clamd.dir.file("clamd.out"));
    ProviderServer server(kAntivirusOn, ServerKey("Antivirus", clamd.socket));
    const std::string plain = server.sample("plain");
    // A signature past the first chunks of the stream is found; over clamd's stream limit
    // is not clean.
    RunOutput out = server.queueAndFilterThenExit(
        {{"EICAR.MAI", server.sample("eicar")},
         {"PLAIN.MAI", plain},
         {"MARKED.MAI", plain + std::string(200 * 1024, 'x') + "\r\nKZ-TEST-MARKER\r\n"},
         {"LARGE.MAI", plain + std::string(1536 * 1024, 'x')}});
    EXPECT_TRUE(server.held("EICAR.MAI")) << out.out;
    EXPECT_NE(out.out.find("DATA=Kz.Test.Eicar"), std::string::npos) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN.MAI")) << out.out;
    EXPECT_TRUE(server.held("MARKED.MAI")) << out.out;
    EXPECT_NE(out.out.find("DATA=Kz.Test.Marker"), std::string::npos) << out.out;
    EXPECT_TRUE(server.held("LARGE.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 1) << readFile(server.events);

    // Without clamd every message is held, with one warning for the two.
    clamd.daemon.stop();
    out = server.queueAndFilter({{"PLAIN2.MAI", plain}, {"PLAIN3.MAI", plain}});
    EXPECT_TRUE(server.held("PLAIN2.MAI")) << out.out;
    EXPECT_TRUE(server.held("PLAIN3.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 2) << readFile(server.events);

    // Fail open: what could not be scanned is delivered.
    TempDir nowhere;
    ProviderServer open(kAntivirusOn, ServerKey("Antivirus", nowhere.file("clamd.sock"),
                                                "\"Fail Closed\"=dword:00000000\r\n"));
    out = open.queueAndFilter({{"PLAIN.MAI", plain}});
    EXPECT_TRUE(open.untouched("PLAIN.MAI")) << out.out;
    EXPECT_EQ(open.eventCount(), 1) << readFile(open.events);
}

// SpamAssassin and the scanner on together, each holding what it finds: the outcome the
// Windows libraries must leave as well (tests/windows/providers_test.cpp), which starts
// both daemons on TCP loopback.
TEST(ProviderDaemons, SpamAndAVirusAreHeldAndTheOutcomeIsTheCasesOwn) {
    Spamd spamd;
    Clamd clamd;
    ASSERT_TRUE(spamd.start()) << readFile(spamd.dir.file("spamd.log"));
    ASSERT_TRUE(clamd.start()) << readFile(clamd.dir.file("clamd.out"));
    ProviderServer server(
        std::string(kSpamAssassinOn) + kAntivirusOn,
        ServerKey("SpamAssassin", spamd.address) + "\r\n" + ServerKey("Antivirus", clamd.socket));
    RunOutput out = server.queueAndFilter({{"EICAR.MAI", server.sample("eicar")},
                                           {"GTUBE.MAI", server.sample("gtube")},
                                           {"PLAIN.MAI", server.sample("plain")}});
    EXPECT_TRUE(server.held("EICAR.MAI") && server.held("GTUBE.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN.MAI")) << out.out;
    const std::string expected = fixture("dispatch/daemons/outcome.txt");
    if (std::getenv("KZ_UPDATE_EXPECTED")) writeFile(expected, server.outcome());
    EXPECT_EQ(server.outcome(), readFile(expected));
}

// Scanning on without the scanner's library: nothing passes as clean unless the
// administrator chose "Fail Closed" 0.
TEST(ClamdProvider, WithoutTheScannerLibraryMessagesAreHeldUnlessFailOpen) {
    TempDir empty;
    for (bool failClosed : {true, false}) {
        ProviderServer server(kAntivirusOn, failClosed ? ""
                                                       : ProviderServer::section("Antivirus") +
                                                             "\"Fail Closed\"=dword:00000000\r\n");
        platform::Registry(server.registry)
            .setString("SOFTWARE\\Kaztrel\\Kaztrel", "Application Directory", empty.path());
        RunOutput out = server.queueAndFilter({{"PLAIN.MAI", server.sample("plain")}});
        EXPECT_NE(out.out.find("Antivirus Loading - Unable to locate Filter Provider."),
                  std::string::npos)
            << out.out;
        EXPECT_EQ(server.held("PLAIN.MAI"), failClosed) << out.out;
    }
}

TEST(BayesProvider, TaughtByKzmtaAndFilterCommandItHoldsSpamAndLetsHamThrough) {
    BayesServer server;
    // Nothing learned yet: no score, the message goes on.
    const std::string spam = readFile(fixture("bayes/spam.eml"));
    RunOutput out = server.queueAndFilter({{"EARLY.MAI", spam}});
    EXPECT_NE(out.out.find("Bayesian Filter - Loading Complete.\n"), std::string::npos) << out.out;
    EXPECT_TRUE(server.untouched("EARLY.MAI"));

    std::vector<std::string> learn = {"learn", "--spam"};
    for (const std::string& file : trainingFiles("spam")) learn.push_back(file);
    out = server.kzmta(learn);
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Learned 4 of 4 spam messages"), std::string::npos) << out.out;
    // A message learned twice counts once; a file that cannot be read fails alone.
    std::vector<std::string> again = learn;
    again.insert(again.begin() + 3, server.dir.file("missing.eml"));
    out = server.kzmta(again);
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.out.find("Learned 0 of 5 spam messages"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("4 already known, 0 skipped, 1 unreadable"), std::string::npos)
        << out.out;
    EXPECT_NE(out.err.find("missing.eml: cannot read"), std::string::npos) << out.err;

    // The ham through the MTA's command entry; malformed commands change nothing.
    std::vector<std::string> commands;
    for (const std::string& file : trainingFiles("ham"))
        commands.insert(commands.end(), {"FilterCommand", "LEARN HAM " + file});
    for (const char* bad : {"LEARN JUNK x", "FORGET", "STATS please", "LEARN HAM /no/such/file"})
        commands.insert(commands.end(), {"FilterCommand", bad});
    out = server.host(commands);
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("FilterCommand=1\nFilterCommand=1\nFilterCommand=1\nFilterCommand=1\n"
                           "FilterCommand=0\nFilterCommand=0\nFilterCommand=0\nFilterCommand=0\n"),
              std::string::npos)
        << out.out;
    out = server.kzmta({"stats"});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Spam messages: 4\nHam messages: 4\n"), std::string::npos) << out.out;

    out = server.queueAndFilterThenExit(
        {{"SPAM.MAI", spam}, {"HAM.MAI", readFile(fixture("bayes/ham.eml"))}});
    EXPECT_TRUE(server.held("SPAM.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("HAM.MAI")) << out.out;

    // Forgotten spam: no score again.
    learn[0] = "forget";
    out = server.kzmta(learn);
    EXPECT_NE(out.out.find("Forgot 4 of 4 spam messages"), std::string::npos) << out.out;
    EXPECT_NE(server.kzmta({"stats"}).out.find("Spam messages: 0\n"), std::string::npos);
    EXPECT_EQ(server.kzmta({"learn", "--spam"}).status, 2);
}

// Taught through the MTA's command entry and filtering in the same load: the outcome the
// Windows library must leave as well (tests/windows/providers_test.cpp).
TEST(BayesProvider, TaughtThroughFilterCommandTheOutcomeIsTheCasesOwn) {
    BayesServer server;
    std::vector<std::string> calls;
    for (const std::string category : {"spam", "ham"}) {
        for (const std::string& file : trainingFiles(category)) {
            calls.insert(calls.end(),
                         {"FilterCommand",
                          "LEARN " + std::string(category == "spam" ? "SPAM " : "HAM ") + file});
        }
    }
    for (const char* name : {"SPAM", "HAM"}) {
        const std::string id = std::string(name) + ".MAI";
        writeFile(server.commandFile(id), readFile(fixture("dispatch/messages/prize.cmd")));
        writeFile(
            server.messageFile(id),
            readFile(fixture(std::string("bayes/") + (name[0] == 'S' ? "spam" : "ham") + ".eml")));
        calls.insert(calls.end(), {"SMTP", id});
    }
    RunOutput out = server.host(calls);
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_TRUE(server.held("SPAM.MAI")) << out.out;
    const std::string expected = fixture("dispatch/bayes/outcome.txt");
    if (std::getenv("KZ_UPDATE_EXPECTED")) writeFile(expected, server.outcome());
    EXPECT_EQ(server.outcome(), readFile(expected));
}

// A mail server whose agent loads the DKIM library ("Debug DKIM" 1) and asks `dns` for keys,
// with the filter of tests/fixtures/dkim/config that holds messages whose signature fails.
struct DkimServer : ProviderServer {
    explicit DkimServer(const DnsmasqServer& dns) : ProviderServer("", "") {
        platform::Registry values(registry);
        values.setDword("SOFTWARE\\Kaztrel\\Kaztrel", "Debug DKIM", 1);
        const std::string smtp = "SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP";
        values.setDword(smtp, "Domain Keys Status", 1);
        values.setString(smtp, "Local DNS Server List", dns.server());
        std::filesystem::remove_all(dir.file("config"));
        std::filesystem::copy(fixture("dkim/config"), dir.file("config"),
                              std::filesystem::copy_options::recursive);
    }
};

// The DKIM library loaded by the agent, keys served by dnsmasq: a filter that holds
// messages whose signature fails.
TEST(DkimProvider, AFailedSignatureIsHeldWithItsHeaderAndAValidOneGoesOn) {
    TempDir keys;
    const DkimKey key = MakeDkimKey(keys, "sel");
    ASSERT_FALSE(key.record.empty()) << "opendkim-genkey (scripts/setup.sh installs it)";
    DnsmasqServer dns(
        fixture("dns/blacklist.hosts"),
        {"--local=/example.net/", TxtRecordOption("sel._domainkey.example.net", key.record)});
    DkimServer server(dns);
    const std::string good = SignMessage(readFile(fixture("dkim/message.eml")), key, "sel");
    std::string altered = good;
    altered.replace(altered.find("attached"), 8, "enclosed");

    RunOutput out = server.queueAndFilterThenExit({{"GOOD.MAI", good}, {"ALTERED.MAI", altered}});
    EXPECT_NE(out.out.find("Domain Keys - Loading Complete.\n"), std::string::npos) << out.out;
    EXPECT_TRUE(server.held("ALTERED.MAI")) << out.out;
    EXPECT_EQ(readFile(server.dir.file("quarantine/Messages/ALTERED.MAI"))
                  .rfind("Authentication-Results: dkim=fail (body hash invalid)\r\n", 0),
              0u);
    EXPECT_TRUE(server.untouched("GOOD.MAI")) << out.out;
    EXPECT_EQ(readFile(server.inbound + "/Messages/GOOD.MAI"), good);
}

// The signed fixtures through the agent as agent_cases.txt says, which the Windows library
// must match under Wine (tests/windows/dkim_agent_test.cpp).
TEST(DkimProvider, TheSignedFixturesGiveTheCaseFilesOutcomes) {
    std::vector<std::string> options = {"--local=/example.net/"};
    for (const auto& [selector, file] : {std::pair{"fixture", "fixture"}, {"ed", "ed25519"}})
        options.push_back(TxtRecordOption(selector + std::string("._domainkey.example.net"),
                                          readFile(fixture("dkim/" + std::string(file) + ".txt"))));
    DnsmasqServer dns(fixture("dns/blacklist.hosts"), options);
    DkimServer server(dns);
    const std::vector<CaseLine> cases = ReadCaseFile("dkim/agent_cases.txt");
    std::vector<std::pair<std::string, std::string>> messages;
    const auto idOf = [](const CaseLine& c) { return "LINE" + std::to_string(c.number) + ".MAI"; };
    for (const CaseLine& c : cases)
        messages.emplace_back(idOf(c), readFile(fixture("dkim/" + c.fields[0])));
    RunOutput out = server.queueAndFilter(messages);
    for (const CaseLine& c : cases) {
        const std::string id = idOf(c);
        if (c.fields[1] == "passed") {
            EXPECT_TRUE(server.untouched(id)) << c.fields[0] << "\n" << out.out;
            continue;
        }
        ASSERT_TRUE(server.held(id)) << c.fields[0] << "\n" << out.out;
        EXPECT_EQ(
            readFile(server.dir.file("quarantine/Messages/" + id)).rfind(c.fields[2] + "\r\n", 0),
            0u)
            << c.fields[0];
    }
}

// The DNS blacklist library loaded by the agent, asking dnsmasq about the hosts of links.
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

    server.exitLoaded = true;  // as the MTA's service process ends
    RunOutput out = server.filter({"CLEAN1.MAI", "CLEAN2.MAI", "LISTED.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("exiting loaded\n"), std::string::npos) << out.out;
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
    // What the Windows library must leave as well (tests/windows/providers_test.cpp).
    const std::string expected = fixture("dispatch/blacklists/outcome.txt");
    if (std::getenv("KZ_UPDATE_EXPECTED")) writeFile(expected, server.outcome());
    EXPECT_EQ(server.outcome(), readFile(expected));
}

}  // namespace
}  // namespace kz::test
