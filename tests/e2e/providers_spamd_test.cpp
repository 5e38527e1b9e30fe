// The SpamAssassin client library against a spamd the test starts, through the agent.

#include <gtest/gtest.h>

#include "provider_daemons.h"
#include "provider_server.h"

namespace kz::test {
namespace {

std::string spamAssassinKey(const std::string& server, const std::string& extra = "") {
    return std::string(ProviderServer::kAgentSection) + "\\SpamAssassin]\r\n\"Server\"=\"" +
           server + "\"\r\n" + extra;
}

const char* kSpamAssassinOn = "\"SpamAssassin Enabled\"=dword:00000001\r\n";

TEST(SpamdProvider, GtubeIsHeldAPlainMessageIsNotAndAStoppedSpamdHoldsNothingUp) {
    Spamd spamd;
    ASSERT_TRUE(spamd.start()) << "spamd (scripts/setup.sh installs it) did not start: "
                               << readFile(spamd.dir.file("spamd.log"));
    ProviderServer server(kSpamAssassinOn, spamAssassinKey(spamd.address));
    server.queue("GTUBE.MAI", "gtube");
    server.queue("PLAIN.MAI", "plain");
    RunOutput out = server.filter({"GTUBE.MAI", "PLAIN.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("SA Filter - Loading Complete.\n"), std::string::npos) << out.out;
    EXPECT_TRUE(server.held("GTUBE.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 0) << readFile(server.events);

    // Without spamd both messages go on unfiltered, with one warning for the two.
    spamd.daemon.stop();
    server.queue("GTUBE2.MAI", "gtube");
    server.queue("PLAIN2.MAI", "plain");
    out = server.filter({"GTUBE2.MAI", "PLAIN2.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_TRUE(server.untouched("GTUBE2.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN2.MAI"));
    EXPECT_EQ(server.eventCount(), 1) << readFile(server.events);
    EXPECT_NE(readFile(server.events).find(spamd.address), std::string::npos);
}

TEST(SpamdProvider, MessagesOverMaxSizeAreNotSentAndPass) {
    // Nothing listens on the port: a message that was sent would cost a warning.
    ProviderServer server(kSpamAssassinOn,
                          spamAssassinKey("127.0.0.1:" + std::to_string(FreeLoopbackPort()),
                                          "\"Max Size\"=dword:00000040\r\n"));
    server.queue("GTUBE.MAI", "gtube");
    RunOutput out = server.filter({"GTUBE.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_TRUE(server.untouched("GTUBE.MAI"));
    EXPECT_EQ(server.eventCount(), 0) << readFile(server.events);
}

}  // namespace
}  // namespace kz::test
