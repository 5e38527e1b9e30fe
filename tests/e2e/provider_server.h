#pragma once
// A mail server whose agent loads the build's provider libraries (its Application
// Directory), with the registry values and sections a test gives.

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

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

    // The same from a host that exits without unloading the agent, as the MTA's service
    // process ends: no provider is called after its own objects are gone.
    RunOutput queueAndFilterThenExit(
        const std::vector<std::pair<std::string, std::string>>& messages) {
        exitLoaded = true;
        RunOutput out = queueAndFilter(messages);
        exitLoaded = false;
        EXPECT_NE(out.out.find("exiting loaded\n"), std::string::npos) << out.out << out.err;
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

// Its filter holds a message (quarantine, delete) whose score is over 90.
struct BayesServer : ProviderServer {
    BayesServer()
        : ProviderServer(
              "\"Bayesian Filtering Status\"=dword:00000001\r\n"
              "\"Bayesian Filtering Load Mode\"=dword:00000001\r\n",
              "", "bayes") {
        setDatabase(dir.file("bayes.sqlite"));
    }
    void setDatabase(const std::string& database) const {
        addRegistry("REGEDIT4\r\n\r\n" + section("Bayesian") + "\"Database\"=\"" + database +
                    "\"\r\n");
    }
    RunOutput kzmta(std::vector<std::string> args) const {
        args.insert(args.begin(), {binPath("kzmta"), "bayes", "--registry", registry});
        return run(args);
    }
};

inline std::vector<std::string> trainingFiles(const std::string& category) {
    std::vector<std::string> files;
    for (int i = 1; i <= 4; ++i)
        files.push_back(fixture("bayes/train/" + category + "/" + std::to_string(i) + ".eml"));
    return files;
}

}  // namespace kz::test
