// The SpamAssassin and antivirus client libraries against a spamd and a clamd the tests
// start, through the agent.

#include <gtest/gtest.h>

#include "provider_daemons.h"
#include "provider_server.h"

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
    RunOutput out = server.queueAndFilter({{"GTUBE.MAI", gtube}, {"PLAIN.MAI", plain}});
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
    RunOutput out = server.queueAndFilter(
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

}  // namespace
}  // namespace kz::test
