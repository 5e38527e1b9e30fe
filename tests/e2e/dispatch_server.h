#pragma once
// A mail server in a scratch folder, built from a configuration case under
// tests/fixtures/dispatch, whose queue the agent library filters.

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/test_support.h"

namespace kz::test {

class DispatchServer {
  public:
    // caseName names a folder of tests/fixtures/dispatch; "@ROOT@" in its files and in
    // the registry file becomes the scratch folder.
    explicit DispatchServer(const std::string& caseName) {
        copyCase(fixture("dispatch/" + caseName), dir.path());
        writeFile(registry, rooted(readFile(fixture("dispatch/registry.reg"))));
        for (const char* folder : {"logs", "badmail", "quarantine"})
            std::filesystem::create_directories(dir.file(folder));
        std::filesystem::create_directories(inbound + "/Messages");
    }

    // Queues a copy of the sample message (tests/fixtures/dispatch/messages) as `id`.
    void queue(const std::string& id, const std::string& sample) {
        writeFile(commandFile(id), readFile(fixture("dispatch/messages/" + sample + ".cmd")));
        writeFile(messageFile(id), readFile(fixture("dispatch/messages/" + sample + ".eml")));
    }

    std::string commandFile(const std::string& id) const { return inbound + "/" + id; }
    std::string messageFile(const std::string& id) const { return inbound + "/Messages/" + id; }

    // Adds the lines of a .reg text (its header included) to the registry.
    void addRegistry(const std::string& text) const {
        platform::RegResult result = platform::Registry(registry).importText(text);
        EXPECT_TRUE(result.ok()) << result.message;
    }

    // Loads the agent library as the MTA does and filters the messages of connector SMTP,
    // in order.
    RunOutput filter(const std::vector<std::string>& ids) const {
        std::vector<std::string> pairs;
        for (const std::string& id : ids) pairs.insert(pairs.end(), {"SMTP", id});
        return host(pairs);
    }
    // The same with the connector and message of each call given in turn.
    RunOutput host(const std::vector<std::string>& pairs) const {
        std::vector<std::string> argv = {binPath("kztest-agent_host"),
                                         libPath("libkzmtafilter.so")};
        argv.insert(argv.end(), pairs.begin(), pairs.end());
        return run(argv, environment());
    }

    std::vector<std::string> environment() const {
        return {"KZ_REGISTRY=" + registry, "KZ_RUNTIME_DIR=" + dir.path(), "KZ_EVENTLOG=" + events};
    }

    // Every line of the daily report files.
    std::string reportLog() const {
        std::set<std::string> names = files(dir.file("logs"));
        std::string text;
        for (const std::string& name : names) text += readFile(dir.file("logs/" + name));
        return text;
    }

    // The report lines without their time stamps.
    std::vector<std::string> executedLines() const {
        std::vector<std::string> lines = reportLines(dir.file("logs"));
        std::erase_if(lines,
                      [](const std::string& line) { return !line.starts_with("Executed\t"); });
        return lines;
    }

    // Names of the regular files in a folder (none when it is missing).
    static std::set<std::string> files(const std::string& folder) {
        std::set<std::string> names;
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
            if (entry.is_regular_file()) names.insert(entry.path().filename().string());
        }
        return names;
    }

    TempDir dir;
    std::string registry = dir.file("registry.reg");
    std::string inbound = dir.file("queue/SMTP/Inbound");
    std::string events = dir.file("events.log");

  private:
    std::string rooted(std::string text) const {
        for (std::size_t at; (at = text.find("@ROOT@")) != std::string::npos;)
            text.replace(at, 6, dir.path());
        return text;
    }

    void copyCase(const std::string& from, const std::string& to) const {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(from)) {
            if (!entry.is_regular_file()) continue;
            std::string relative = std::filesystem::relative(entry.path(), from).string();
            writeFile(to + "/" + relative, rooted(readFile(entry.path().string())));
        }
    }
};

}  // namespace kz::test
