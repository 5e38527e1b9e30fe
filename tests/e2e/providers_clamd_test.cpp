// The antivirus library against a clamd the test starts, through the agent.

#include <gtest/gtest.h>

#include "provider_daemons.h"
#include "provider_server.h"

namespace kz::test {
namespace {

std::string antivirusKey(const std::string& server, const std::string& extra = "") {
    return std::string(ProviderServer::kAgentSection) + "\\Antivirus]\r\n\"Server\"=\"" + server +
           "\"\r\n" + extra;
}

const char* kAntivirusOn = "\"Antivirus Status\"=dword:00000001\r\n";

TEST(ClamdProvider, EicarIsHeldACleanMessageIsNotAndAStoppedClamdHoldsEverything) {
    Clamd clamd;
    ASSERT_TRUE(clamd.start()) << "clamd (scripts/setup.sh installs it) did not start: "
                               << readFile(clamd.dir.file("clamd.out"));
    ProviderServer server(kAntivirusOn, antivirusKey(clamd.socket));
    server.queue("EICAR.MAI", "eicar");
    server.queue("PLAIN.MAI", "plain");
    // A signature past the first chunks of the stream is found; over clamd's stream limit
    // is not clean.
    const std::string plain = readFile(fixture("providers/daemons/plain.eml"));
    server.queue("MARKED.MAI", "plain");
    writeFile(server.inbound + "/Messages/MARKED.MAI",
              plain + std::string(200 * 1024, 'x') + "\r\nKZ-TEST-MARKER\r\n");
    server.queue("LARGE.MAI", "plain");
    writeFile(server.inbound + "/Messages/LARGE.MAI", plain + std::string(1536 * 1024, 'x'));
    RunOutput out = server.filter({"EICAR.MAI", "PLAIN.MAI", "MARKED.MAI", "LARGE.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_TRUE(server.held("EICAR.MAI")) << out.out;
    EXPECT_NE(out.out.find("DATA=Kz.Test.Eicar"), std::string::npos) << out.out;
    EXPECT_TRUE(server.untouched("PLAIN.MAI")) << out.out;
    EXPECT_TRUE(server.held("MARKED.MAI")) << out.out;
    EXPECT_NE(out.out.find("DATA=Kz.Test.Marker"), std::string::npos) << out.out;
    EXPECT_TRUE(server.held("LARGE.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 1) << readFile(server.events);

    // Without clamd every message is held, with one warning for the two.
    clamd.daemon.stop();
    server.queue("PLAIN2.MAI", "plain");
    server.queue("PLAIN3.MAI", "plain");
    out = server.filter({"PLAIN2.MAI", "PLAIN3.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_TRUE(server.held("PLAIN2.MAI")) << out.out;
    EXPECT_TRUE(server.held("PLAIN3.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 2) << readFile(server.events);
}

TEST(ClamdProvider, FailOpenDeliversWhatCouldNotBeScanned) {
    TempDir nowhere;
    ProviderServer server(kAntivirusOn, antivirusKey(nowhere.file("clamd.sock"),
                                                     "\"Fail Closed\"=dword:00000000\r\n"));
    server.queue("PLAIN.MAI", "plain");
    RunOutput out = server.filter({"PLAIN.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_TRUE(server.untouched("PLAIN.MAI")) << out.out;
    EXPECT_EQ(server.eventCount(), 1) << readFile(server.events);
}

}  // namespace
}  // namespace kz::test
