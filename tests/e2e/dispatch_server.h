#pragma once
// A mail server in a scratch folder, built from a configuration case under
// tests/fixtures/dispatch, whose queue the agent library filters.

#include <filesystem>
#include <map>
#include <numeric>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/service.h"
#include "support/test_support.h"

namespace kz::test {

// Names of the regular files in a folder (none when it is missing).
inline std::set<std::string> fileNames(const std::string& folder) {
    std::set<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        if (entry.is_regular_file()) names.insert(entry.path().filename().string());
    return names;
}

// The argv of kzmta run over `registry` with the build's agent library, then `extra`.
inline std::vector<std::string> kzmtaRun(const std::string& registry,
                                         const std::vector<std::string>& extra = {}) {
    std::vector<std::string> argv = {binPath("kzmta"), "run",       "--registry",
                                     registry,         "--library", libPath("libkzmtafilter.so")};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return argv;
}

using FileTree = std::map<std::string, std::string>;  // relative path -> bytes

// The files a run left in a form that stays the same from run to run: the messages the
// agent queued (GUID names but those starting with `keepPrefix`) become queued-1.MAI, ...
// in the order of their text, with their seals, dates and arrival times masked.
inline FileTree StableTree(const FileTree& tree, const std::string& keepPrefix = "") {
    static const std::regex guid("[0-9A-F]{32}\\.MAI"),
        perRun("(X-KZFilter-Seal: )[0-9a-f]+|(Date: )[^\r\n]*|(TimeAcquired=)[0-9]+");
    auto isNew = [&](const std::string& path) {
        std::string name = path.substr(path.rfind('/') + 1);
        bool own = !keepPrefix.empty() && name.starts_with(keepPrefix);
        return std::regex_match(name, guid) && !own ? name : "";
    };
    std::map<std::string, std::set<std::string>> queued;  // name -> its files, masked
    for (const auto& [path, bytes] : tree)
        if (std::string name = isNew(path); !name.empty())
            queued[name].insert(std::regex_replace(
                std::regex_replace(path + "\n" + bytes, perRun, "$1$2$3*"), guid, "*"));
    std::map<std::string, std::string> byText, renamed;
    for (const auto& [name, texts] : queued)
        byText.emplace(std::accumulate(texts.begin(), texts.end(), std::string()) + name, name);
    for (const auto& [text, name] : byText)
        renamed[name] = "queued-" + std::to_string(renamed.size() + 1) + ".MAI";
    auto named = [&](std::string text) {
        for (const auto& [from, to] : renamed)
            for (std::size_t at; (at = text.find(from)) != std::string::npos;)
                text.replace(at, from.size(), to);
        return text;
    };
    FileTree stable;
    for (const auto& [path, bytes] : tree)
        stable[named(path)] =
            named(isNew(path).empty() ? bytes : std::regex_replace(bytes, perRun, "$1$2$3*"));
    return stable;
}

class DispatchServer {
  public:
    // caseName names a folder of tests/fixtures/dispatch; "@ROOT@" in its files and in
    // the registry file becomes the scratch folder.
    explicit DispatchServer(const std::string& caseName) {
        copyFixture("dispatch/" + caseName, dir.path());
        std::string text = readFile(fixture("dispatch/registry.reg"));
        for (std::size_t at; (at = text.find("@ROOT@")) != std::string::npos;)
            text.replace(at, 6, dir.path());
        writeFile(registry, text);
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
        std::vector<std::string> argv = {binPath("kztest-agent_host")};
        if (exitLoaded) argv.push_back("--exit-loaded");
        argv.push_back(libPath("libkzmtafilter.so"));
        argv.insert(argv.end(), pairs.begin(), pairs.end());
        return run(argv, environment());
    }

    // The host exits without unloading the library, as the MTA's service process does.
    bool exitLoaded = false;

    std::vector<std::string> environment() const {
        return {"KZ_REGISTRY=" + registry, "KZ_RUNTIME_DIR=" + dir.path(), "KZ_EVENTLOG=" + events};
    }

    // Every line of the daily report files.
    std::string reportLog() const {
        std::string text;
        for (const std::string& name : fileNames(dir.file("logs")))
            text += readFile(dir.file("logs/" + name));
        return text;
    }

    // The report lines without their time stamps.
    std::vector<std::string> executedLines() const {
        std::vector<std::string> lines = reportLines(dir.file("logs"));
        std::erase_if(lines,
                      [](const std::string& line) { return !line.starts_with("Executed\t"); });
        return lines;
    }

    // The form of the cases' outcome.txt: the report's Executed lines, then every file of
    // the mail folders (and the file a program action wrote) by relative path.
    std::string outcome() const {
        FileTree tree;
        for (const char* folder : {"queue", "badmail", "quarantine", "mail"})
            for (const auto& [path, bytes] : fileTree(dir.file(folder)))
                tree[std::string(folder) + "/" + path] = bytes;
        if (exists(dir.file("args.txt"))) tree["args.txt"] = readFile(dir.file("args.txt"));
        std::string text = "== report\n";
        for (const std::string& line : executedLines()) text += line + "\n";
        for (const auto& [path, bytes] : StableTree(tree)) text += "== " + path + "\n" + bytes;
        return text;
    }

    TempDir dir;
    std::string registry = dir.file("registry.reg");
    std::string inbound = dir.file("queue/SMTP/Inbound");
    std::string events = dir.file("events.log");
};

}  // namespace kz::test
