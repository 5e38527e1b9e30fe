#pragma once
// A mail server whose filters hold a message (copy to quarantine, delete) on a provider
// library's verdict: in case "daemons" when SpamAssassin calls it spam or the antivirus
// scanner finds a virus, in case "bayes" on a Bayesian score over 90. The provider
// libraries of the build are in its Application Directory.

#include <algorithm>
#include <string>

#include "e2e/dispatch_server.h"

namespace kz::test {

struct ProviderServer : DispatchServer {
    // `agentValues` are .reg value lines of the agent's key, `sections` further sections.
    ProviderServer(const std::string& agentValues, const std::string& sections,
                   const std::string& caseName = "daemons")
        : DispatchServer(caseName) {
        addRegistry(
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
            "\"Application Directory\"=\"" +
            libDir() + "\"\r\n\r\n" + section("") + agentValues + "\r\n" + sections);
    }

    // The header line of the agent's key (`below` empty) or of a key below it.
    static std::string section(const std::string& below) {
        return "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER" +
               (below.empty() ? "" : "\\" + below) + "]\r\n";
    }
    static std::string sample(const std::string& name) {
        return readFile(fixture("providers/daemons/" + name + ".eml"));
    }

    // Queues each (id, message text) with one envelope and filters them in one call.
    RunOutput queueAndFilter(const std::vector<std::pair<std::string, std::string>>& messages) {
        std::vector<std::string> ids;
        for (const auto& [id, text] : messages) {
            writeFile(commandFile(id), readFile(fixture("providers/daemons/message.cmd")));
            writeFile(messageFile(id), text);
            ids.push_back(id);
        }
        RunOutput out = filter(ids);
        EXPECT_EQ(out.status, 0) << out.err;
        return out;
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
