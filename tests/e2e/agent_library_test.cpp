// The agent library loaded with dlopen, as the MTA loads it.

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kz::test {
namespace {

// A mail server layout in a scratch folder with its registry file.
struct Server {
    TempDir dir;
    std::string registry = dir.file("registry.reg");

    Server() {
        std::string root = dir.path();
        writeFile(registry,
                  "Windows Registry Editor Version 5.00\r\n\r\n"
                  "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
                  "\"Configuration Directory\"=\"" +
                      root +
                      "/config\"\r\n"
                      "\"Application Directory\"=\"" +
                      std::string(KZ_LIB_DIR) +
                      "\"\r\n"
                      "\"Mail Root\"=\"" +
                      root +
                      "/mail\"\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS]\r\n"
                      "\"Connector Root Directory\"=\"" +
                      root + "/queue\"\r\n");
        writeFile(dir.file("config/FILTERS/FILTER.TAB"), "");
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

TEST(AgentLibrary, OverlongArgumentsAreCutNotOverrun) {
    Server server;
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Spam\t1\tSPAMCRIT\r\n");
    std::string longName(5000, 'M');
    RunOutput out = server.filter({std::string(3000, 'C'), longName});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("FilterExecute=1\n"), std::string::npos) << out.err;
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

}  // namespace
}  // namespace kz::test
