// The agent library loaded with dlopen, as the MTA loads it.

#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

// A mail server with an empty filter table; its Application Directory, "app", is empty.
struct Server : DispatchServer {
    Server() : DispatchServer("empty") {}

    // Adds these value lines to the agent's key.
    void agentValues(const std::string& lines) const {
        addRegistry(
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
            "Filters\\MTAFILTER]\r\n" +
            lines);
    }
    // Places the test library `stub` in the Application Directory as `name`.so.
    void install(const std::string& stub, const std::string& name) const {
        std::filesystem::create_directories(dir.file("app"));
        std::filesystem::copy_file(testLibPath(stub + ".so"),
                                   dir.file("app/" + name + ".so"));
    }
};

// An empty table returns at once without reading the message; a loaded one reads the
// envelope and reports the missing message.
TEST(AgentLibrary, EmptyTableReadsNothingALoadedOneReportsAMissingMessage) {
    Server server;
    RunOutput out = server.host({"SMTP", "MISSING.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Loaded 0 Filters\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("FilterExecute=1\n"), std::string::npos);
    EXPECT_EQ(out.out.find("unable to load message"), std::string::npos) << out.out;

    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Spam\t1\tSPAMCRIT\r\n");
    writeFile(server.dir.file("config/FILTERS/CRITERIA/SPAMCRIT.TAB"), "1\tSUBJECT\tfree\r\n");
    out = server.host({"SMTP", "MISSING.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Loaded 1 Filters\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("Filter was unable to load message MISSING.MAI\r\n"), std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("FilterExecute=1\n"), std::string::npos);
    EXPECT_NE(out.out.find("Releasing 1 Filters\n"), std::string::npos) << out.out;  // at detach
}

TEST(AgentLibrary, NamesLongerThanTheirFieldsAreRefusedNotCut) {
    Server server;
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "All\t1\tALL\r\n");
    std::string criteria;
    for (int kind = 0; kind < 27; ++kind)
        criteria += kind == 15 ? "1\tALLMESSAGES\t\t\t\t1\r\n" : "0\tX\t\t\t\t1\r\n";
    writeFile(server.dir.file("config/FILTERS/CRITERIA/ALL.TAB"), criteria);
    writeFile(server.dir.file("config/FILTERS/ACTIONS/ALL.TAB"), "1\t\t\tDELETE\t\r\n");
    // Cut to 63 characters, each name would pick the queued message below and delete it.
    std::string connector(63, 'C'), message(63, 'M');
    std::string inbound = server.dir.file("queue/" + connector + "/Inbound/");
    writeFile(inbound + message, "Sender=[SMTP:a@example.org]\r\n");
    writeFile(inbound + "Messages/" + message, "Subject: x\r\n\r\nHi\r\n");
    RunOutput out = server.host(
        {connector + "X", message, connector, message + "X", connector, std::string(5000, 'M')});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out.find("FilterExecute=0"), std::string::npos) << out.out;
    EXPECT_TRUE(exists(inbound + message));
    EXPECT_TRUE(exists(inbound + "Messages/" + message));
    out = server.host({connector, message});
    EXPECT_FALSE(exists(inbound + message)) << out.out;
}

TEST(AgentLibrary, FilterInitWalksTheProcessingOrder) {
    Server server;
    server.addRegistry(
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters]\r\n"
        "\"Processing Order\"=\"MTAFILTER,AVAGENT,OTHER\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\AVAGENT]\r\n"
        "\"Status\"=dword:00000001\r\n"
        "\"Antivirus Agent Plugin Enabled\"=dword:00000001\r\n"
        "\"Antivirus Agent Plugin Provider\"=\"MISSINGAV.DLL\"\r\n");
    RunOutput out = server.host({});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Antivirus Plugin Provider loading library..\n"), std::string::npos);
    EXPECT_NE(out.out.find("Antivirus Loading - Unable to locate AV Plugin Provider.\n"),
              std::string::npos);
    EXPECT_NE(out.out.find("FilterInit=0\n"), std::string::npos) << out.out;
}

// A library that fails to load (no KZWINDNS here) must not keep the agent loaded after the
// host lets it go: its detach would then run from the exit handlers and unload the
// antivirus library under glibc's own finalisation.
TEST(AgentLibrary, UnloadsWithAProviderLoadedAndExitsCleanly) {
    Server server;
    server.install("kzstub_antivirus", "KZAVGEN");
    server.agentValues("\"Antivirus Status\"=dword:00000001\r\n");
    RunOutput out = server.host({});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Antivirus Loading Library..\n"), std::string::npos) << out.out;
    // Detach ran at the host's dlclose, before the host's own last line.
    EXPECT_LT(out.out.find("Releasing 0 Filters\n"), out.out.find("unloaded\n")) << out.out;
}

TEST(AgentLibrary, ADnsLibraryThatThrowsEndsOnlyThatScan) {
    Server server;
    server.install("kzstub_dns", "KZWINDNS");
    writeFile(server.dir.file("app/KZWINDNS.reply"), "127.0.0.7 sbl.test\n");
    server.agentValues(
        "\"Perform SBLRBL\"=dword:00000001\r\n\"Activity Log Enabled\"=dword:00000002\r\n");
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Links\t1\tLINKS\r\n");
    writeFile(server.dir.file("config/FILTERS/CRITERIA/LINKS.TAB"),
              readFile(fixture("providers/LINKS.TAB")));
    for (const char* name : {"links", "listed"}) {
        writeFile(server.commandFile(name), readFile(fixture("queue/all_keys.cmd")));
        writeFile(server.messageFile(name),
                  readFile(fixture(std::string("providers/") + name + ".eml")));
    }
    RunOutput out = server.host({"SMTP", "links", "SMTP", "listed"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("HasORBDBEntry handled an exception; session will be dropped.\n"
                           "The exception was: resolver gone\n"),
              std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("Message links was not filtered: its scan ended with an exception"),
              std::string::npos);
    EXPECT_NE(out.out.find("Message listed has link to blacklisted IP. 127.0.0.7 (127.0.0.7) was "
                           "found in blacklist sbl.test"),
              std::string::npos);
    EXPECT_NE(out.out.find("ProcessFilter: "), std::string::npos);
}

}  // namespace
}  // namespace kz::test
