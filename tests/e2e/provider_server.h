#pragma once
// A mail server in a scratch folder whose filter table holds a message when SpamAssassin
// calls it spam ("Spam") or the antivirus scanner finds a virus ("Virus"): both filters
// copy it to quarantine and delete it. The agent library is loaded as the MTA loads it,
// with the provider libraries of the build in its Application Directory.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace kz::test {

struct ProviderServer {
    TempDir dir;
    std::string registry = dir.file("registry.reg");
    std::string events = dir.file("events.log");
    std::string inbound = dir.file("queue/SMTP/Inbound");

    // `agentValues` and `providerKeys` are .reg lines: values of the agent's key, and
    // further sections (the provider libraries' own keys).
    ProviderServer(const std::string& agentValues, const std::string& providerKeys) {
        std::filesystem::copy(fixture("providers/daemons/config"), dir.file("config"),
                              std::filesystem::copy_options::recursive);
        for (const char* folder : {"quarantine", "badmail", "queue/SMTP/Inbound/Messages"})
            std::filesystem::create_directories(dir.file(folder));
        const std::string root = dir.path();
        writeFile(registry,
                  "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
                  "\"Configuration Directory\"=\"" +
                      root +
                      "/config\"\r\n"
                      "\"Quarantine Directory\"=\"" +
                      root +
                      "/quarantine\"\r\n"
                      "\"Bad Mail Directory\"=\"" +
                      root +
                      "/badmail\"\r\n"
                      "\"Mail Root\"=\"" +
                      root +
                      "/mail\"\r\n"
                      "\"Application Directory\"=\"" KZ_LIB_DIR
                      "\"\r\n\r\n"
                      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\CONNECTORS]\r\n"
                      "\"Connector Root Directory\"=\"" +
                      root + "/queue\"\r\n\r\n" + kAgentSection + "]\r\n" + agentValues + "\r\n" +
                      providerKeys);
    }

    static constexpr const char* kAgentSection =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

    // Queues tests/fixtures/providers/daemons/<sample>.eml as message `id`.
    void queue(const std::string& id, const std::string& sample) {
        writeFile(inbound + "/" + id, readFile(fixture("providers/daemons/message.cmd")));
        writeFile(inbound + "/Messages/" + id,
                  readFile(fixture("providers/daemons/" + sample + ".eml")));
    }

    RunOutput filter(const std::vector<std::string>& ids) const {
        std::vector<std::string> argv = {binPath("kztest-agent_host"),
                                         std::string(KZ_LIB_DIR) + "/libkzmtafilter.so"};
        for (const std::string& id : ids) argv.insert(argv.end(), {"SMTP", id});
        return run(argv, {"KZ_REGISTRY=" + registry, "KZ_RUNTIME_DIR=" + dir.path(),
                          "KZ_EVENTLOG=" + events});
    }

    // Held: copied to quarantine and removed from the queue.
    bool held(const std::string& id) const {
        return exists(dir.file("quarantine/Messages/" + id)) &&
               !exists(inbound + "/Messages/" + id);
    }
    bool untouched(const std::string& id) const {
        return !exists(dir.file("quarantine/Messages/" + id)) &&
               exists(inbound + "/Messages/" + id);
    }
    int eventCount() const {
        const std::string text = readFile(events);
        return int(std::count(text.begin(), text.end(), '\n'));
    }
};

}  // namespace kz::test
