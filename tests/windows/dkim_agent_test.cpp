// The agent library loaded as the MTA loads it, with KZDomainKeys.DLL in its Application
// Directory, filtering the signed fixtures of tests/fixtures/dkim/agent_cases.txt: each
// must pass or be held as it is on Linux. The keys come from the DNS server the test
// script starts (its address in KZ_DNS_SERVER), which serves the fixtures' keys.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "platform/registry.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

using InitFn = int(__stdcall*)(int);
using ExecuteFn = int(__stdcall*)(const char*, const char*, const char*, int);

struct AgentCase {
    std::string message;  // fixture name
    bool held = false;
    std::string firstLine;  // of the held message
};

std::vector<AgentCase> agentCases() {
    std::vector<AgentCase> cases;
    std::istringstream lines(readWhole(fixture("dkim/agent_cases.txt")));
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream parts(line);
        for (std::string field; std::getline(parts, field, '\t');) fields.push_back(field);
        cases.push_back({fields[0], fields[1] == "held", fields.size() > 2 ? fields[2] : ""});
    }
    return cases;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

TEST(DkimAgent, TheSignedFixturesComeOutAsOnLinux) {
    const char* server = std::getenv("KZ_DNS_SERVER");
    ASSERT_TRUE(server && *server) << "KZ_DNS_SERVER (scripts/test-windows.sh starts dnsmasq)";
    ScratchFolder scratch;
    const std::string root = fs::path(scratch.path()).generic_string();
    fs::copy(fixture("dkim/config"), scratch.file("config"), fs::copy_options::recursive);
    fs::create_directories(scratch.file("app"));
    fs::copy_file(builtFile("KZDomainKeys.DLL"), scratch.file("app\\KZDomainKeys.DLL"));
    for (const char* folder : {"logs", "badmail", "quarantine", "queue/SMTP/Inbound/Messages"})
        fs::create_directories(scratch.file(folder));
    platform::Registry registry(platform::Registry::defaultPath());
    registry.importText("REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel]\r\n");
    const std::string dkim =
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n\"Debug DKIM\"=dword:00000001\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS\\SMTP]\r\n"
        "\"Domain Keys Status\"=dword:00000001\r\n\"Local DNS Server List\"=\"" +
        std::string(server) + "\"\r\n";
    const platform::RegResult imported = registry.importText(
        replaced(readWhole(fixture("dispatch/registry.reg")), "@ROOT@", root) + dkim);
    ASSERT_TRUE(imported.ok()) << imported.message;

    const std::vector<AgentCase> cases = agentCases();
    ASSERT_GE(cases.size(), 5u);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string id = "LINE" + std::to_string(i) + ".MAI";
        writeWhole(scratch.file("queue/SMTP/Inbound/" + id),
                   readWhole(fixture("providers/daemons/message.cmd")));
        writeWhole(scratch.file("queue/SMTP/Inbound/Messages/" + id),
                   readWhole(fixture("dkim/" + cases[i].message)));
    }
    HMODULE library = LoadLibraryA(builtFile("KZMTAFILTER.DLL").c_str());
    ASSERT_TRUE(library) << GetLastError();
    const auto execute = reinterpret_cast<ExecuteFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "FilterExecute")));
    ASSERT_TRUE(execute);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(execute("kztest", ("LINE" + std::to_string(i) + ".MAI").c_str(), "SMTP", 0), 1);
    FreeLibrary(library);

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string id = "LINE" + std::to_string(i) + ".MAI";
        const std::string quarantined = scratch.file("quarantine\\Messages\\" + id);
        const bool queued = fs::exists(scratch.file("queue\\SMTP\\Inbound\\Messages\\" + id));
        EXPECT_EQ(fs::exists(quarantined) && !queued, cases[i].held) << cases[i].message;
        if (cases[i].held && fs::exists(quarantined)) {
            EXPECT_EQ(readWhole(quarantined).rfind(cases[i].firstLine + "\r\n", 0), 0u)
                << cases[i].message;
        }
        if (!cases[i].held) {
            EXPECT_EQ(readWhole(scratch.file("queue\\SMTP\\Inbound\\Messages\\" + id)),
                      readWhole(fixture("dkim/" + cases[i].message)))
                << cases[i].message;
        }
    }
}

}  // namespace
}  // namespace kz::test
