// The agent library loaded with dlopen, as the MTA loads it.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

namespace kz::test {
namespace {

// A mail server layout in a scratch folder with its registry file.
struct Server {
    TempDir dir;
    std::string registry = dir.file("registry.reg");

    explicit Server(const std::string& application = KZ_LIB_DIR) {
        std::string root = dir.path();
        writeFile(registry,
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
                  "\"Configuration Directory\"=\"" +
                      root +
                      "/config\"\r\n"
                      "\"Application Directory\"=\"" +
                      application +
                      "\"\r\n"
                      "\"Mail Root\"=\"" +
                      root +
                      "/mail\"\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS]\r\n"
                      "\"Connector Root Directory\"=\"" +
                      root + "/queue\"\r\n");
        writeFile(dir.file("config/FILTERS/FILTER.TAB"), "");
    }

    // Appends the agent's key with these value lines.
    void agentValues(const std::string& lines) {
        writeFile(registry, readFile(registry) +
                                "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
                                "Filters\\MTAFILTER]\r\n" +
                                lines);
    }

    RunOutput filter(const std::vector<std::string>& pairs) {
        std::vector<std::string> argv = {binPath("kztest-agent_host"),
                                         std::string(KZ_LIB_DIR) + "/libkzmtafilter.so"};
        argv.insert(argv.end(), pairs.begin(), pairs.end());
        return run(argv, {"KZ_REGISTRY=" + registry, "KZ_RUNTIME_DIR=" + dir.path()});
    }
};

TEST(AgentLibrary, EmptyFilterTableReturnsAtOnceWithoutReadingTheMessage) {
    Server server;
    RunOutput out = server.filter({"SMTP", "MISSING.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Loaded 0 Filters\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("FilterExecute=1\n"), std::string::npos);
    EXPECT_EQ(out.out.find("unable to load message"), std::string::npos) << out.out;
}

TEST(AgentLibrary, LoadedTableReadsTheEnvelopeAndReportsAMissingMessage) {
    Server server;
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Spam\t1\tSPAMCRIT\r\n");
    writeFile(server.dir.file("config/FILTERS/CRITERIA/SPAMCRIT.TAB"), "1\tSUBJECT\tfree\r\n");
    RunOutput out = server.filter({"SMTP", "MISSING.MAI"});
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
    RunOutput out = server.filter(
        {connector + "X", message, connector, message + "X", connector, std::string(5000, 'M')});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out.find("FilterExecute=0"), std::string::npos) << out.out;
    EXPECT_TRUE(exists(inbound + message));
    EXPECT_TRUE(exists(inbound + "Messages/" + message));
    out = server.filter({connector, message});
    EXPECT_FALSE(exists(inbound + message)) << out.out;
}

TEST(AgentLibrary, FilterInitWalksTheProcessingOrder) {
    Server server;
    std::string reg = readFile(server.registry);
    reg +=
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters]\r\n"
        "\"Processing Order\"=\"MTAFILTER,AVAGENT,OTHER\"\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\AVAGENT]\r\n"
        "\"Status\"=dword:00000001\r\n"
        "\"Antivirus Agent Plugin Enabled\"=dword:00000001\r\n"
        "\"Antivirus Agent Plugin Provider\"=\"MISSINGAV.DLL\"\r\n";
    writeFile(server.registry, reg);
    RunOutput out = server.filter({});
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
    TempDir app;
    std::filesystem::copy_file(std::string(KZ_TESTLIB_DIR) + "/kzstub_antivirus.so",
                               app.file("KZAVGEN.so"));
    Server server(app.path());
    server.agentValues("\"Antivirus Status\"=dword:00000001\r\n");
    RunOutput out = server.filter({});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Antivirus Loading Library..\n"), std::string::npos) << out.out;
    // Detach ran at the host's dlclose, before the host's own last line.
    EXPECT_LT(out.out.find("Releasing 0 Filters\n"), out.out.find("unloaded\n")) << out.out;
}

TEST(AgentLibrary, ADnsLibraryThatThrowsEndsOnlyThatScan) {
    TempDir app;
    writeFile(app.file("KZWINDNS.reply"), "127.0.0.7 sbl.test\n");
    std::filesystem::copy_file(std::string(KZ_TESTLIB_DIR) + "/kzstub_dns.so",
                               app.file("KZWINDNS.so"));
    Server server(app.path());
    server.agentValues(
        "\"Perform SBLRBL\"=dword:00000001\r\n\"Activity Log Enabled\"=dword:00000002\r\n");
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Links\t1\tLINKS\r\n");
    writeFile(server.dir.file("config/FILTERS/CRITERIA/LINKS.TAB"),
              readFile(fixture("providers/LINKS.TAB")));
    const std::string inbound = server.dir.file("queue/SMTP/Inbound/");
    for (const char* name : {"links", "listed"}) {
        writeFile(inbound + name, readFile(fixture("queue/all_keys.cmd")));
        writeFile(inbound + "Messages/" + name,
                  readFile(fixture(std::string("providers/") + name + ".eml")));
    }
    RunOutput out = server.filter({"SMTP", "links", "SMTP", "listed"});
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
