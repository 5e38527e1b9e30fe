#pragma once
// A mail server whose filter table holds a message when SpamAssassin calls it spam ("Spam")
// or the antivirus scanner finds a virus ("Virus"): both filters copy it to quarantine and
// delete it. The provider libraries of the build are in its Application Directory.

#include <algorithm>
#include <string>

#include "e2e/dispatch_server.h"

namespace kz::test {

struct ProviderServer : DispatchServer {
    // `agentValues` and `providerKeys` are .reg lines: values of the agent's key, and
    // further sections (the provider libraries' own keys).
    ProviderServer(const std::string& agentValues, const std::string& providerKeys)
        : DispatchServer("daemons") {
        addRegistry(
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
            "\"Application Directory\"=\"" + libDir() + "\"\r\n\r\n" +
            std::string(kAgentSection) + "]\r\n" + agentValues + "\r\n" + providerKeys);
    }

    static constexpr const char* kAgentSection =
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

    // Queues tests/fixtures/providers/daemons/<sample>.eml as message `id`.
    void queue(const std::string& id, const std::string& sample) {
        writeFile(commandFile(id), readFile(fixture("providers/daemons/message.cmd")));
        writeFile(messageFile(id), readFile(fixture("providers/daemons/" + sample + ".eml")));
    }

    // Held: copied to quarantine and removed from the queue.
    bool held(const std::string& id) const {
        return exists(dir.file("quarantine/Messages/" + id)) && !exists(messageFile(id));
    }
    bool untouched(const std::string& id) const {
        return !exists(dir.file("quarantine/Messages/" + id)) && exists(messageFile(id));
    }
    int eventCount() const {
        const std::string text = readFile(events);
        return int(std::count(text.begin(), text.end(), '\n'));
    }
};

}  // namespace kz::test
