// kzmta explain: what it says a run decides is what the run then does, and it changes
// no file on the way.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "e2e/dispatch_server.h"
#include "support/case_file.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

struct ExplainQueue {
    TempDir dir;
    std::string registry = dir.file("registry.reg");

    ExplainQueue() {
        copyFixture("tools/explain", dir.path());
        fs::create_directories(dir.file("logs"));
        fs::create_directories(dir.file("quarantine"));
    }

    std::vector<std::string> env() const { return {"KZ_RUNTIME_DIR=" + dir.path()}; }

    RunOutput explain(const std::string& message, bool json = true) const {
        std::vector<std::string> argv = {binPath("kzmta"), "explain", "--registry", registry,
                                         "--connector",    "SMTP",    "--message",  message};
        if (json) argv.push_back("--json");
        return run(argv, env());
    }

    // Per message, the descriptions of the filters whose report lines the run wrote.
    std::map<std::string, std::set<std::string>> executedFilters() const {
        std::map<std::string, std::set<std::string>> executed;
        for (const std::string& line : reportLines(dir.file("logs"))) {
            std::vector<std::string> fields = tabFields(line);
            if (fields.size() > 3 && fields[0] == "Executed") executed[fields[1]].insert(fields[3]);
        }
        return executed;
    }
};

// The filter objects of explain's JSON in order, each as its text.
std::vector<std::string> filterObjects(const std::string& json) {
    std::vector<std::string> objects;
    const std::string start = "{\"position\":";
    for (std::size_t at = json.find(start); at != std::string::npos;) {
        std::size_t next = json.find(start, at + 1);
        objects.push_back(json.substr(at, next - at));
        at = next;
    }
    return objects;
}

const char* kDescriptions[] = {"Tagged", "Meeting with agenda", "Executable attachment",
                               "Spam words in the subject", "Lottery in the subject"};

TEST(KzmtaExplain, JsonAgreesWithWhatTheRunThenDoes) {
    ExplainQueue q;
    // Which of the five filters hold, per message: a loop header without the agent's seal
    // does not keep the message from being scanned, a match-all filter needs both criteria, and the
    // stop keeps the spam-word filter from seeing the executable's "free" subject.
    const std::map<std::string, std::vector<bool>> expected = {
        {"SPAM.MAI", {true, false, false, true, false}},
        {"MEETING.MAI", {true, true, false, false, false}},
        {"HALFMEET.MAI", {true, false, false, false, false}},
        {"TOOL.MAI", {true, false, true, false, false}},
        {"LOOPED.MAI", {true, false, false, true, false}},
        {"LOTTERY.MAI", {true, false, false, false, true}},  // the script holds
    };
    const auto before = fileTree(q.dir.path());
    for (const auto& [message, holds] : expected) {
        RunOutput out = q.explain(message);
        ASSERT_EQ(out.status, 0) << out.err;
        std::vector<std::string> filters = filterObjects(out.out);
        ASSERT_EQ(filters.size(), holds.size()) << out.out;
        for (std::size_t i = 0; i < filters.size(); ++i) {
            bool says = filters[i].find("\"holds\":true") != std::string::npos;
            EXPECT_EQ(says, holds[i]) << message << " filter " << i + 1 << ": " << filters[i];
        }
    }
    EXPECT_EQ(fileTree(q.dir.path()), before) << "explain changed a file";

    RunOutput ran = run(kzmtaRun(q.registry, {"--threads", "1"}), q.env());
    ASSERT_EQ(ran.status, 0) << ran.err;
    auto executed = q.executedFilters();
    for (const auto& [message, holds] : expected) {
        for (std::size_t i = 0; i < holds.size(); ++i) {
            EXPECT_EQ(executed[message].count(kDescriptions[i]) == 1, holds[i])
                << message << " filter " << i + 1;
        }
    }
    EXPECT_TRUE(exists(q.dir.file("quarantine/TOOL.MAI")));
    EXPECT_FALSE(exists(q.dir.file("queue/SMTP/Outgoing/SPAM.MAI")));
    EXPECT_NE(
        readFile(q.dir.file("queue/SMTP/Outgoing/Messages/MEETING.MAI")).find("X-Meeting: yes"),
        std::string::npos);
}

TEST(KzmtaExplain, JsonShowsCriteriaAndTheActionLinesThatWouldRun) {
    ExplainQueue q;
    std::map<std::string, std::vector<std::string>> filters;  // by message
    for (const CaseLine& c : ReadCaseFile("tools/explain_json.txt")) {
        if (!filters.count(c.fields[0]))
            filters[c.fields[0]] = filterObjects(q.explain(c.fields[0]).out);
        ASSERT_EQ(filters[c.fields[0]].size(), 5u);
        const std::string& filter = filters[c.fields[0]][std::stoul(c.fields[1]) - 1];
        EXPECT_EQ(filter.find(Unescape(c.fields[3])) != std::string::npos, c.fields[2] == "1")
            << "explain_json.txt:" << c.number << ": " << filter;
    }
    RunOutput looped = q.explain("LOOPED.MAI");
    EXPECT_EQ(
        looped.out.find("{\"connector\":\"SMTP\",\"message\":\"LOOPED.MAI\",\"scanned\":true"), 0u)
        << looped.out;
}

TEST(KzmtaExplain, TextReportAndClearErrors) {
    ExplainQueue q;
    RunOutput text = q.explain("MEETING.MAI", false);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(
        text.out.find("Filter 2 \"Meeting\" (criteria MEETING, all criteria must be met): holds"),
        std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("would run ADD_HEADER X-Meeting|yes"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("      saw Team meeting on Friday"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("Loaded"), std::string::npos) << "agent trace leaked: " << text.out;

    const std::vector<std::string> base = {binPath("kzmta"), "explain", "--connector", "SMTP"};
    auto with = [&](std::vector<std::string> args) {
        args.insert(args.begin(), base.begin(), base.end());
        return run(args, q.env());
    };
    const std::pair<std::vector<std::string>, std::string> errors[] = {
        {{"--registry", q.registry, "--message", "NONE.MAI"},
         "cannot read the envelope of message NONE.MAI"},
        {{"--registry", q.registry}, "usage"},
        {{"--registry", q.registry, "--message", "../../config/FILTERS/FILTER.TAB"},
         "--message takes a name, not a path"},
        {{"--registry", q.dir.file("no.reg"), "--message", "SPAM.MAI"}, "registry"},
    };
    for (const auto& [args, message] : errors) {
        RunOutput out = with(args);
        EXPECT_EQ(out.status, 1) << message;
        EXPECT_NE(out.err.find(message), std::string::npos) << out.err;
    }
}

TEST(KzmtaExplain, WithoutFiltersNothingIsRead) {
    ExplainQueue q;
    writeFile(q.dir.file("config/FILTERS/FILTER.TAB"), "Off\t0\tALL\n");
    // As a run with no filter, explain does not even look for the message.
    RunOutput out = q.explain("ABSENT.MAI");
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out,
              "{\"connector\":\"SMTP\",\"message\":\"ABSENT.MAI\",\"scanned\":false,"
              "\"filters\":[]}\n");
}

}  // namespace
}  // namespace kz::test
