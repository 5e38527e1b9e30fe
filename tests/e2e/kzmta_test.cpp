// kzmta's commands over scratch queues and configurations: run (also killed at random
// points, again and again), demo, explain, check-config, inspect and reg.

#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>
#include <tuple>

#include "e2e/dispatch_server.h"
#include "support/case_file.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

struct Queue {
    TempDir dir;
    std::string registry = dir.file("registry.reg");
    std::string inbound = dir.file("queue/SMTP/Inbound");
    std::string outgoing = dir.file("queue/SMTP/Outgoing");

    Queue() {
        copyFixture("tools/run", dir.path());
        fs::create_directories(inbound + "/Messages");
        fs::create_directories(dir.file("badmail"));
    }

    void queue(const std::string& id) {
        queueMessageFile(id);
        queueCommandFile(id);
    }
    void queueMessageFile(const std::string& id, const std::string& folder = "Inbound") {
        writeFile(dir.file("queue/SMTP/" + folder + "/Messages/" + id),
                  "From: a@example.org\r\nSubject: note " + id + "\r\n\r\nHello\r\n");
    }
    void queueCommandFile(const std::string& id) {
        writeFile(inbound + "/" + id,
                  "Sender=[SMTP:a@example.org]\r\nRecipients=[SMTP:b@example.com]\r\n");
    }
};

// Many messages on several threads, each handed on once: DispatchReload and KzmtaCrash.
TEST(KzmtaRun, ACommandFileWaitsForItsMessageAndAnInterruptedHandOnIsFinished) {
    Queue q;
    q.queue("READY.MAI");
    q.queueCommandFile("EARLY.MAI");
    // Killed between the two renames of a hand-on: the message is in Outgoing already.
    q.queueCommandFile("HALF.MAI");
    q.queueMessageFile("HALF.MAI", "Outgoing");
    // A new message the agent had queued when it was killed, without its command file.
    std::string orphan = "0123456789ABCDEF0123456789ABCDEF.MAI";
    writeFile(q.inbound + "/Messages/" + orphan, "X-KZFilter: 1\r\n\r\nForwarded\r\n");

    RunOutput out = run(kzmtaRun(q.registry, {"--leftover-age", "0", "--verbose"}),
                        {"KZ_RUNTIME_DIR=" + q.dir.path()});
    ASSERT_EQ(out.status, 0) << out.err;
    // The agent's trace goes to standard error, the summary to standard output.
    EXPECT_NE(out.err.find("Loaded 1 Filters"), std::string::npos) << out.err;
    EXPECT_EQ(out.out.find("Loaded 1 Filters"), std::string::npos);
    EXPECT_NE(out.out.find("Messages filtered: 1\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("Handed on: 2\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("1 orphaned messages moved to bad mail"), std::string::npos) << out.out;
    EXPECT_EQ(fileNames(q.outgoing), (std::set<std::string>{"HALF.MAI", "READY.MAI"}));
    EXPECT_EQ(fileNames(q.outgoing + "/Messages"),
              (std::set<std::string>{"HALF.MAI", "READY.MAI"}));
    EXPECT_EQ(fileNames(q.inbound), std::set<std::string>{"EARLY.MAI"});
    EXPECT_TRUE(exists(q.dir.file("badmail/Messages/" + orphan)));
}

TEST(KzmtaRun, WatchWaitsForLateMessageFilesAndRescansOnATimer) {
    Queue q;
    Child child(kzmtaRun(q.registry, {"--watch", "--threads", "1"}),
                {"KZ_RUNTIME_DIR=" + q.dir.path()});
    ASSERT_TRUE(child.waitForLine("Watching the queue")) << child.output();
    q.queueCommandFile("EARLY.MAI");
    q.queue("LATE.MAI");
    ASSERT_TRUE(child.waitForLine("SMTP/LATE.MAI: handed on")) << child.output();
    EXPECT_TRUE(exists(q.inbound + "/EARLY.MAI"));
    q.queueMessageFile("EARLY.MAI");
    ASSERT_TRUE(child.waitForLine("SMTP/EARLY.MAI: handed on")) << child.output();
    // A connector added during the watch has no watched folder; the timer finds it.
    writeFile(q.dir.file("queue/NEW/Inbound/Messages/A.MAI"), "Subject: a\r\n\r\nHi\r\n");
    writeFile(q.dir.file("queue/NEW/Inbound/A.MAI"), "Sender=[SMTP:a@example.org]\r\n");
    ASSERT_TRUE(child.waitForLine("NEW/A.MAI: handed on", 10)) << child.output();
    child.signal(SIGTERM);
    EXPECT_EQ(child.wait(), 0);
    EXPECT_NE(child.output().find("Messages filtered: 3\n"), std::string::npos) << child.output();
    EXPECT_EQ(fileNames(q.outgoing), (std::set<std::string>{"EARLY.MAI", "LATE.MAI"}));
}

TEST(KzmtaRun, ClearErrorsForBadInput) {
    Queue q;
    writeFile(q.dir.file("empty.reg"), "Windows Registry Editor Version 5.00\n");
    RunOutput noRoot = run({binPath("kzmta"), "run", "--registry", q.dir.file("empty.reg")});
    EXPECT_EQ(noRoot.status, 1);
    EXPECT_NE(noRoot.err.find("names no \"Connector Root Directory\""), std::string::npos)
        << noRoot.err;

    RunOutput badThreads = run(kzmtaRun(q.registry, {"--threads", "many"}));
    EXPECT_EQ(badThreads.status, 2);
    EXPECT_NE(badThreads.err.find("--threads"), std::string::npos) << badThreads.err;

    RunOutput badLibrary = run(
        {binPath("kzmta"), "run", "--registry", q.registry, "--library", q.dir.file("none.so")});
    EXPECT_NE(badLibrary.status, 0);
    EXPECT_NE(badLibrary.err.find("cannot load the agent library"), std::string::npos)
        << badLibrary.err;
}

// kzmta demo: the demo environment's messages go through the loaded agent, and every file
// the run leaves behind (queues, quarantine, bad mail, mailbox folders) and every report line
// match the expected files under tests/fixtures/tools/demo/expected.
//
// After a deliberate change of behaviour, KZ_UPDATE_EXPECTED=1 writes the expected files anew;
// review their diff like code.

// The report lines without their time stamps, sorted: two queue threads write them in any
// order, and the log file is named after the day of the run.
std::string ReportLines(const std::string& logDirectory) {
    std::vector<std::string> lines = reportLines(logDirectory);
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The demo's own messages have names of the form the agent gives those it queues.
FileTree Outcome(const std::string& root) {
    FileTree files;
    for (const char* folder : {"queue", "quarantine", "badmail", "mail"}) {
        for (const auto& [path, bytes] : fileTree(root + "/" + folder))
            files[std::string(folder) + "/" + path] = bytes;
    }
    files = StableTree(files, "3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A");
    files["report.log"] = ReportLines(root + "/logs");
    return files;
}

TEST(KzmtaDemo, LeavesTheExpectedQueueFilesAndReportLines) {
    TempDir dir;
    std::string root = dir.file("demo");
    RunOutput out =
        run({binPath("kzmta"), "demo", "--dir", root, "--library", libPath("libkzmtafilter.so")},
            {"KZ_RUNTIME_DIR=" + dir.path()});
    ASSERT_EQ(out.status, 0) << out.out << out.err;
    // The run's summary, and no trace line of the agent without --verbose.
    for (const char* line :
         {"Messages filtered: 14\n", "Removed from the queue: 2\n", "Handed on: 12\n",
          "New messages queued by actions: 2\n", "Report lines written: 8\n"})
        EXPECT_NE(out.out.find(line), std::string::npos) << line << out.out;
    EXPECT_EQ(out.out.find("Loaded 4 Filters"), std::string::npos) << out.out;
    EXPECT_EQ(out.err.find("Loaded 4 Filters"), std::string::npos) << out.err;
    EXPECT_NE(out.out.find("Subject: [SPAM] F\u00e9licitations, winner of our prize draw"),
              std::string::npos)
        << out.out;

    FileTree actual = Outcome(root);
    std::string expectedDir = fixture("tools/demo/expected");
    if (std::getenv("KZ_UPDATE_EXPECTED")) {
        fs::remove_all(expectedDir);
        for (const auto& [path, bytes] : actual) writeFile(expectedDir + "/" + path, bytes);
    }
    FileTree expected = fileTree(expectedDir);
    std::vector<std::string> actualNames, expectedNames;
    for (const auto& entry : actual) actualNames.push_back(entry.first);
    for (const auto& entry : expected) expectedNames.push_back(entry.first);
    ASSERT_EQ(actualNames, expectedNames);
    for (const auto& [path, bytes] : expected) EXPECT_EQ(actual[path], bytes) << path;
}

// kzmta explain: what it says a run decides is what the run then does, and it changes
// no file on the way.

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
    // Which of the five filters hold ("1"), per message.
    std::map<std::string, std::string> expected;
    for (const CaseLine& c : ReadCaseFile("tools/explain_holds.txt"))
        expected[c.fields[0]] = c.fields[1];
    const auto before = fileTree(q.dir.path());
    for (const auto& [message, holds] : expected) {
        RunOutput out = q.explain(message);
        ASSERT_EQ(out.status, 0) << out.err;
        std::vector<std::string> filters = filterObjects(out.out);
        ASSERT_EQ(filters.size(), holds.size()) << out.out;
        for (std::size_t i = 0; i < filters.size(); ++i) {
            bool says = filters[i].find("\"holds\":true") != std::string::npos;
            EXPECT_EQ(says, holds[i] == '1')
                << message << " filter " << i + 1 << ": " << filters[i];
        }
    }
    EXPECT_EQ(fileTree(q.dir.path()), before) << "explain changed a file";

    RunOutput ran = run(kzmtaRun(q.registry, {"--threads", "1"}), q.env());
    ASSERT_EQ(ran.status, 0) << ran.err;
    auto executed = q.executedFilters();
    for (const auto& [message, holds] : expected) {
        for (std::size_t i = 0; i < holds.size(); ++i) {
            EXPECT_EQ(executed[message].count(kDescriptions[i]) == 1, holds[i] == '1')
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

TEST(KzmtaExplain, TextReportClearErrorsAndNothingReadWithoutFilters) {
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
    const std::tuple<std::vector<std::string>, int, std::string> errors[] = {
        {{"--registry", q.registry, "--message", "NONE.MAI"},
         1,
         "cannot read the envelope of message NONE.MAI"},
        {{"--registry", q.registry}, 2, "--message is required"},
        {{"--registry", q.registry, "--message", "../../config/FILTERS/FILTER.TAB"},
         1,
         "--message takes a name, not a path"},
        {{"--registry", q.dir.file("no.reg"), "--message", "SPAM.MAI"}, 1, "no such file"},
    };
    for (const auto& [args, status, message] : errors) {
        RunOutput out = with(args);
        EXPECT_EQ(out.status, status) << message;
        EXPECT_NE(out.err.find(message), std::string::npos) << out.err;
    }
    writeFile(q.dir.file("config/FILTERS/FILTER.TAB"), "Off\t0\tALL\n");
    // As a run with no filter, explain does not even look for the message.
    RunOutput out = q.explain("ABSENT.MAI");
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out,
              "{\"connector\":\"SMTP\",\"message\":\"ABSENT.MAI\",\"scanned\":false,"
              "\"filters\":[]}\n");
}

// An audited filter that holds writes what it would run and runs none of it, its
// STOP_PROCESSING included; filters not listed act as before.
TEST(KzmtaAudit, AuditedFiltersReportWithoutActingAndLaterFiltersStillAct) {
    ExplainQueue q;
    // A multi-string: descriptions compared without regard to case, then the empty end.
    std::string audit = "Tagged|executable attachment|Spam words in the subject|Lotery||";
    std::string hex;
    for (char c : audit) {
        char byte[4];
        std::snprintf(byte, sizeof byte, "%02x", c == '|' ? 0 : static_cast<unsigned char>(c));
        hex += (hex.empty() ? "" : ",") + std::string(byte);
    }
    writeFile(q.registry, readFile(q.registry) +
                              "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
                              "Filters\\MTAFILTER]\r\n\"Audit Filters\"=hex(7):" +
                              hex + "\r\n");
    const std::string inbound = q.dir.file("queue/SMTP/Inbound/");
    const auto tool = readFile(inbound + "Messages/TOOL.MAI");
    const auto spam = readFile(inbound + "Messages/SPAM.MAI");

    RunOutput explained = q.explain("TOOL.MAI", false);
    EXPECT_NE(explained.out.find("Filter 3 \"Executables\" (criteria EXE, audited): holds"),
              std::string::npos)
        << explained.out;
    EXPECT_NE(explained.out.find("Filter 4 \"Spam words\" (criteria SPAMWORDS, audited): holds"),
              std::string::npos)
        << explained.out;
    EXPECT_NE(q.explain("TOOL.MAI").out.find("\"audited\":true"), std::string::npos);

    RunOutput ran = run(kzmtaRun(q.registry, {"--threads", "1"}), q.env());
    ASSERT_EQ(ran.status, 0) << ran.err;
    std::set<std::string> lines;
    for (const std::string& line : reportLines(q.dir.file("logs"))) {
        std::vector<std::string> f = tabFields(line);
        if (f.size() > 4 && f[0] == "Executed") lines.insert(f[1] + " " + f[3] + " " + f[4]);
    }
    for (const char* line :
         {"TOOL.MAI Tagged AUDIT:ADD_HEADER",
          "TOOL.MAI Executable attachment AUDIT:COPY_TO_QUARANTINE,STOP_PROCESSING",
          "TOOL.MAI Spam words in the subject AUDIT:DELETE",
          "SPAM.MAI Spam words in the subject AUDIT:DELETE",
          "LOTTERY.MAI Lottery in the subject DELETE",
          "MEETING.MAI Meeting with agenda ADD_HEADER"})
        EXPECT_EQ(lines.count(line), 1u) << line;
    // Audited filters changed nothing; the lottery filter deleted its message.
    const std::string outgoing = q.dir.file("queue/SMTP/Outgoing/Messages/");
    EXPECT_EQ(readFile(outgoing + "TOOL.MAI"), tool);
    EXPECT_EQ(readFile(outgoing + "SPAM.MAI"), spam);
    EXPECT_TRUE(fileTree(q.dir.file("quarantine")).empty());
    EXPECT_FALSE(exists(outgoing + "LOTTERY.MAI"));
    EXPECT_NE(readFile(outgoing + "MEETING.MAI").find("X-Meeting: yes"), std::string::npos);
    // The mistyped entry audited nothing, and check-config says so.
    RunOutput checked = run({binPath("kzmta"), "check-config", "--registry", q.registry});
    EXPECT_NE(checked.out.find("\"Audit Filters\" names \"Lotery\", which no filter"),
              std::string::npos)
        << checked.out;
}

// kzmta explain FILE: a message file with LF or CR LF line ends and the envelope of the
// options is decided as its queued form is.
TEST(KzmtaExplain, MessageFilesAreDecidedAsTheirQueuedForm) {
    ExplainQueue q;
    TempDir files;
    const std::string messages = q.dir.file("queue/SMTP/Inbound/Messages/");
    const auto before = fileTree(q.dir.path());
    for (const CaseLine& c : ReadCaseFile("tools/explain_holds.txt")) {
        const std::string queued = readFile(messages + c.fields[0]);
        std::string lf = queued;
        std::erase(lf, '\r');
        writeFile(files.file("crlf.eml"), queued);
        writeFile(files.file("lf.eml"), lf);
        const std::vector<std::string> expected = filterObjects(q.explain(c.fields[0]).out);
        for (const char* name : {"crlf.eml", "lf.eml"}) {
            RunOutput out = run(
                {binPath("kzmta"), "explain", files.file(name), "--registry", q.registry, "--from",
                 "alice@example.org", "--rcpt", "bob@example.com", "--ip", "192.0.2.7", "--json"},
                q.env());
            ASSERT_EQ(out.status, 0) << out.err;
            EXPECT_EQ(filterObjects(out.out), expected) << c.fields[0] << " " << name;
        }
    }
    EXPECT_EQ(fileTree(q.dir.path()), before) << "explain changed a file";
    RunOutput none =
        run({binPath("kzmta"), "explain", files.file("none.eml"), "--registry", q.registry});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("no such file or folder"), std::string::npos) << none.err;
}

// kzmta check-config: a configuration with one of each problem, and a clean one.

// check-config over the configuration in dir/config with the given .reg lines of the
// product key (a bad-mail folder dir/badmail unless they name one), then of the agent's key.
RunOutput checkConfigWith(const TempDir& dir, const std::string& productLines,
                          const std::string& agentLines) {
    std::string registry = dir.file("registry.reg");
    fs::create_directories(dir.file("badmail"));
    writeFile(registry,
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
              "\"Configuration Directory\"=\"" +
                  dir.file("config") + "\"\r\n" +
                  (productLines.find("Bad Mail") == std::string::npos
                       ? "\"Bad Mail Directory\"=\"" + dir.file("badmail") + "\"\r\n"
                       : std::string()) +
                  productLines +
                  "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\"
                  "MTAFILTER]\r\n" +
                  agentLines);
    return run({binPath("kzmta"), "check-config", "--registry", registry});
}

RunOutput checkConfig(const TempDir& dir) {
    return checkConfigWith(dir, "", "");
}

RunOutput checkConfig(const TempDir& dir, const std::string& fixtureConfig) {
    fs::copy(fixture(fixtureConfig), dir.file("config"), fs::copy_options::recursive);
    return checkConfig(dir);
}

TEST(KzmtaCheckConfig, ReportsOneOfEachProblem) {
    TempDir dir;
    RunOutput out = checkConfig(dir, "tools/check_config/config");
    EXPECT_EQ(out.status, 1) << out.err;
    // Each problem with its file and line, the FILTER.TAB ones by their full path.
    const std::string config = dir.file("config/");
    const auto problems = ReadCaseFile("tools/check_config/problems.txt");
    EXPECT_EQ(problems.size(), 19u);
    for (const CaseLine& problem : problems) {
        const std::string& text = problem.fields[0];
        std::string expected = text.starts_with("FILTERS/") ? config + text : text;
        EXPECT_NE(out.out.find(expected), std::string::npos) << expected << "\n---\n" << out.out;
    }
    // Deliberate settings are not problems: a filter switched off with 0, a disabled
    // action line, a word file with words, an existing template, a shared action file.
    for (const char* quiet :
         {":4:", "ALSO_UNKNOWN_BUT_OFF", "words.txt", "GREETING", "ACTIONS/GOOD.TAB"}) {
        EXPECT_EQ(out.out.find(quiet), std::string::npos) << quiet << "\n---\n" << out.out;
    }
    EXPECT_NE(out.out.find("7 filter(s) loaded"), std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("Loaded 7 Filters"), std::string::npos) << "agent trace leaked";
}

TEST(KzmtaCheckConfig, ACleanConfigurationPassesMoreThanAHundredFiltersAndAMissingTableDoNot) {
    TempDir dir;
    std::string lines;
    for (int i = 1; i <= 101; ++i) lines += "F" + std::to_string(i) + "\t1\tGOOD\r\n";
    writeFile(dir.file("config/FILTERS/FILTER.TAB"), lines);
    writeFile(dir.file("config/FILTERS/CRITERIA/GOOD.TAB"), "1\tALLMESSAGES\t\t\t\t1\r\n");
    writeFile(dir.file("config/FILTERS/ACTIONS/GOOD.TAB"), "1\t\t\tDELETE\tx\r\n");
    RunOutput full = checkConfig(dir);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.out.find("FILTER.TAB:101: skipped: more than 100 filters"), std::string::npos)
        << full.out;

    fs::remove(dir.file("config/FILTERS/FILTER.TAB"));
    RunOutput none = checkConfig(dir);
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.out.find("FILTER.TAB cannot be read"), std::string::npos) << none.out;
    TempDir clean;
    RunOutput out = checkConfig(clean, "tools/explain/config");
    EXPECT_EQ(out.status, 0) << out.out;
    EXPECT_NE(out.out.find("5 filter(s) loaded"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("no problem found"), std::string::npos);
}

// The folders the agent writes into: each one set must be a folder; the bad-mail folder,
// which keeps what cannot be handled, and the log folder of file logging must be set.
TEST(KzmtaCheckConfig, ReportsFoldersTheAgentCannotWriteInto) {
    TempDir dir;
    fs::copy(fixture("tools/explain/config"), dir.file("config"), fs::copy_options::recursive);
    writeFile(dir.file("mailroot"), "a file, not a folder");
    const std::string folders = "\"Quarantine Directory\"=\"" + dir.file("missing") +
                                "\"\r\n\"Mail Root\"=\"" + dir.file("mailroot") + "\"\r\n";
    RunOutput out = checkConfigWith(dir, "\"Bad Mail Directory\"=\"\"\r\n" + folders,
                                    "\"Activity Log Enabled\"=dword:00000001\r\n");
    EXPECT_EQ(out.status, 1);
    for (const std::string& problem :
         {"the Quarantine Directory " + dir.file("missing") + " is missing",
          std::string("no \"Bad Mail Directory\" is set"),
          "the Mail Root " + dir.file("mailroot") + " is not a folder",
          std::string("no \"Activity Log Directory\" is set")})
        EXPECT_NE(out.out.find(problem), std::string::npos) << problem << "\n---\n" << out.out;
    EXPECT_NE(out.out.find("4 problem(s) found"), std::string::npos) << out.out;

    fs::remove(dir.file("mailroot"));
    for (const char* folder : {"missing", "mailroot", "logs"})
        fs::create_directories(dir.file(folder));
    out =
        checkConfigWith(dir, folders,
                        "\"Activity Log Enabled\"=dword:00000001\r\n\"Activity Log Directory\"=\"" +
                            dir.file("logs") + "\"\r\n");
    EXPECT_EQ(out.status, 0) << out.out;
}

// kzmta inspect: the headers, parts and bodies of a message as the scan sees them.
RunOutput inspect(const std::vector<std::string>& extra) {
    std::vector<std::string> argv = {binPath("kzmta"), "inspect"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    return run(argv);
}

TEST(KzmtaInspect, JsonAndTextFormsAndErrors) {
    std::map<std::string, RunOutput> outputs;  // by file and form
    for (const CaseLine& c : ReadCaseFile("tools/inspect_cases.txt")) {
        RunOutput& out = outputs[c.fields[0] + " " + c.fields[1]];
        if (out.status == -1) {
            std::vector<std::string> args = {fixture("tools/inspect/" + c.fields[0])};
            if (c.fields[1] == "json") args.push_back("--json");
            out = inspect(args);
            ASSERT_EQ(out.status, 0) << out.err;
        }
        EXPECT_EQ(out.out.find(Unescape(c.fields[3])) != std::string::npos, c.fields[2] == "1")
            << "inspect_cases.txt:" << c.number << "\n"
            << out.out;
    }
    RunOutput missing = inspect({fixture("tools/inspect/none.eml")});
    EXPECT_NE(missing.status, 0);
    EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing.err;
    EXPECT_EQ(inspect({}).status, 2);
}

// kzmta run killed at random points, again and again, then run to the end: no message is
// lost or torn and nothing is left behind. KZ_CRASH_KILLS raises the number of kills and
// KZ_CRASH_SEED varies them (scripts/crash-test.sh); the defaults keep the test short.
using Clock = std::chrono::steady_clock;

// What the filters of tests/fixtures/crash do, chosen by a word of the subject.
enum class Kind { Plain, Forward, Notify, Copy, Move };
constexpr const char* kWords[] = {"plain", "forward", "notify", "copy", "move"};

struct Original {
    Kind kind;
    std::string command, message;
};

class CrashQueue {
  public:
    CrashQueue() {
        copyFixture("crash", dir_.path());
        for (const char* folder :
             {"queue/SMTP/Inbound/Messages", "badmail", "quarantine", "mail/Main/MAILROOT/joe"})
            fs::create_directories(dir_.file(folder));
    }

    std::string registry() const { return dir_.file("registry.reg"); }
    std::string path(std::string_view relative) const { return dir_.file(relative); }

    void queue(const std::string& id, Kind kind) {
        Original original{kind,
                          "Sender=[SMTP:a@example.org]\r\nRecipients=[SMTP:joe@example.com]\r\n"
                          "Account=Main\r\nUser=joe\r\n",
                          "From: a@example.org\r\nTo: joe@example.com\r\nSubject: " +
                              std::string(kWords[int(kind)]) + " " + id + "\r\n\r\nBody of " + id +
                              "\r\n"};
        writeFile(path("queue/SMTP/Inbound/Messages/" + id), original.message);
        writeFile(path("queue/SMTP/Inbound/" + id), original.command);
        originals_.emplace(id, std::move(original));
    }

    std::size_t waiting() const { return names("queue/SMTP/Inbound").size(); }
    const std::map<std::string, Original>& originals() const { return originals_; }

    std::vector<std::string> args(std::vector<std::string> extra = {}) const {
        extra.insert(extra.begin(), {"--threads", "2"});
        return kzmtaRun(registry(), extra);
    }
    std::vector<std::string> env() const { return {"KZ_RUNTIME_DIR=" + dir_.path()}; }
    // A leak check cut short by the kill would only report its own interruption.
    std::vector<std::string> envToKill() const {
        const char* asan = std::getenv("ASAN_OPTIONS");
        return {"KZ_RUNTIME_DIR=" + dir_.path(),
                "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":detect_leaks=0"};
    }

    std::set<std::string> names(std::string_view relative) const {
        return fileNames(path(relative));
    }

    // Temporaries anywhere, working copies of header rewrites.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
            if (entry.path().filename().string().ends_with(".tmp")) found.push_back(entry.path());
        }
        for (const std::string& name : names("queue/SMTP/Inbound/Messages"))
            if (name.starts_with("_")) found.push_back(name);
        return found;
    }

  private:
    TempDir dir_;
    std::map<std::string, Original> originals_;
};

// The files the agent queued that reached Outgoing, by name with their inode: a name
// whose inode changes was queued and handed on again, a duplicate the MTA would deliver.
void NoteHandedOnAgentMessages(const CrashQueue& q, std::map<std::string, ino_t>& seen,
                               int& republished) {
    for (const std::string& name : q.names("queue/SMTP/Outgoing/Messages")) {
        if (q.originals().count(name)) continue;
        struct stat st {};
        if (::stat(q.path("queue/SMTP/Outgoing/Messages/" + name).c_str(), &st) != 0) continue;
        auto [at, added] = seen.emplace(name, st.st_ino);
        if (!added && at->second != st.st_ino) {
            ++republished;
            at->second = st.st_ino;
        }
    }
}

int EnvNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}

std::string Prefixed(const std::string& message) {
    std::string out = message;
    out.insert(out.find("Subject: ") + 9, "[COPIED] ");
    return out;
}

// Starts a run, kills it after a random pause; true when it was still running.
bool KillOneRun(const CrashQueue& q, std::mt19937& random, int maxPauseMs) {
    Child child(q.args(), q.envToKill());
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(0, maxPauseMs)(random)));
    child.signal(SIGKILL);
    return child.wait() == -1;
}

// Messages the agent queued (forwarded copies, notices) that reached the folder whole.
std::vector<std::string> AgentMessages(const CrashQueue& q, std::string_view folder) {
    std::vector<std::string> texts;
    for (const std::string& name : q.names(folder)) {
        if (q.originals().count(name)) continue;
        std::string text = readFile(q.path(std::string(folder) + "/" + name));
        EXPECT_NE(text.find("X-KZFilter: 1\r\n"), std::string::npos) << name;
        texts.push_back(text);
    }
    return texts;
}

TEST(KzmtaCrash, KilledRunsLoseNothingAndLeaveNothingBehind) {
    const int wantedKills = EnvNumber("KZ_CRASH_KILLS", 40);
    const auto bound = Clock::now() + std::chrono::seconds(std::max(90, wantedKills));
    CrashQueue q;
    std::mt19937 random(unsigned(EnvNumber("KZ_CRASH_SEED", 20261206)));
    int next = 0;
    auto refill = [&] {
        while (q.waiting() < 5) {
            char id[16];
            std::snprintf(id, sizeof id, "M%05d.MAI", next);
            q.queue(id, Kind(next++ % 5));
        }
    };

    // One whole run sets the pause: kills land anywhere from start-up to the last step.
    refill();
    auto started = Clock::now();
    ASSERT_EQ(run(q.args(), q.env()).status, 0);
    int maxPauseMs =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count());

    std::map<std::string, ino_t> handedOnAgentFiles;
    int republished = 0;
    int kills = 0;
    while (kills < wantedKills && Clock::now() < bound) {
        refill();
        kills += KillOneRun(q, random, maxPauseMs) ? 1 : 0;
        NoteHandedOnAgentMessages(q, handedOnAgentFiles, republished);
    }
    EXPECT_GE(kills, wantedKills) << "the time bound ran out";

    RunOutput last = run(q.args({"--leftover-age", "0"}), q.env());
    ASSERT_EQ(last.status, 0) << last.err;
    std::size_t sweepLine = last.out.find("Leftovers of interrupted runs");
    std::printf(
        "%d kills of %zu messages; %s\n", kills, q.originals().size(),
        sweepLine == std::string::npos
            ? "nothing left over"
            : last.out.substr(sweepLine, last.out.find('\n', sweepLine) - sweepLine).c_str());
    NoteHandedOnAgentMessages(q, handedOnAgentFiles, republished);
    EXPECT_EQ(republished, 0) << "new messages queued and handed on twice";
    EXPECT_EQ(q.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(q.names("queue/SMTP/Inbound"), std::set<std::string>{});
    // A message file whose DELETE (of a MOVE) was cut short went to bad mail with the rest.
    EXPECT_EQ(q.names("queue/SMTP/Inbound/Messages"), std::set<std::string>{});
    EXPECT_EQ(q.names("queue/SMTP/Outgoing"), q.names("queue/SMTP/Outgoing/Messages"));

    std::vector<std::string> handedOn = AgentMessages(q, "queue/SMTP/Outgoing/Messages");
    std::vector<std::string> swept = AgentMessages(q, "badmail/Messages");
    // How many of the agent's messages about the original carry the marker: exactly one
    // went on; a cut-short try of it may have gone to bad mail as well.
    auto copiesOf = [&](const std::string& id, std::string_view marker,
                        const std::vector<std::string>& texts) {
        return std::count_if(texts.begin(), texts.end(), [&](const std::string& text) {
            return text.find(marker) != std::string::npos && text.find(id) != std::string::npos;
        });
    };

    for (const auto& [id, original] : q.originals()) {
        SCOPED_TRACE(id);
        std::string out = readFile(q.path("queue/SMTP/Outgoing/Messages/" + id));
        std::string moved = readFile(q.path("mail/Main/MAILROOT/joe/Moved/" + id));
        std::string strayMessage = q.path("queue/SMTP/Inbound/Messages/" + id);
        switch (original.kind) {
            case Kind::Move:
                EXPECT_EQ(moved, original.message);
                EXPECT_FALSE(exists(q.path("queue/SMTP/Outgoing/" + id)));
                break;
            case Kind::Copy:
                EXPECT_EQ(out, Prefixed(original.message));
                EXPECT_EQ(readFile(q.path("mail/Main/MAILROOT/joe/Copies/" + id)),
                          Prefixed(original.message));
                EXPECT_FALSE(exists(strayMessage));
                break;
            default:
                EXPECT_EQ(out, original.message);
                EXPECT_FALSE(exists(strayMessage));
        }
        if (original.kind != Kind::Move) {
            EXPECT_EQ(readFile(q.path("queue/SMTP/Outgoing/" + id)), original.command);
        }
        if (original.kind == Kind::Forward) {
            EXPECT_EQ(copiesOf(id, "Body of " + id + "\r\n", handedOn), 1);
        }
        if (original.kind == Kind::Notify) {
            EXPECT_EQ(copiesOf(id, "End of notice.", handedOn), 1);
        }
    }
}

// kzmta reg, driven as an administrator would run it.
constexpr const char* kKey = "SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

class KzmtaReg : public ::testing::Test {
  protected:
    test::RunOutput reg(std::vector<std::string> args) {
        args.insert(args.begin(), {test::binPath("kzmta"), "reg"});
        return test::run(args, {"KZ_REGISTRY=" + registry});
    }
    test::TempDir dir;
    std::string registry = dir.file("registry.reg");
};

TEST_F(KzmtaReg, SetValuesReadBack) {
    auto keyed = [](std::string text) {
        std::size_t at = text.rfind("KEY");
        return at == std::string::npos ? text : text.replace(at, 3, kKey);
    };
    for (const test::CaseLine& c : test::ReadCaseFile("tools/reg_values.txt")) {
        std::vector<std::string> f;
        for (const std::string& field : c.fields) f.push_back(test::Unescape(field));
        test::RunOutput set = reg({"set", keyed(f[2]), f[3], f[0], f[1]});
        ASSERT_EQ(set.status, 0) << f[3] << ": " << set.err;
        test::RunOutput get =
            reg({"get", "software\\kaztrel\\kaztrel\\agents\\mta\\filters\\mtafilter", f[3]});
        EXPECT_EQ(get.status, 0) << f[3] << ": " << get.err;
        EXPECT_EQ(get.out, f[4]) << f[3];
        test::RunOutput list = reg({"list", kKey});
        EXPECT_NE(list.out.find(f[3] + "\t" + f[5] + "\n"), std::string::npos) << list.out;
    }
    // A multi-string, as "Audit Filters" is read: each text in order.
    ASSERT_EQ(
        reg({"set", kKey, "Audit Filters", "--multi", "New spam words", "--multi", "Gro\xC3\x9F"})
            .status,
        0);
    EXPECT_EQ(reg({"get", kKey, "Audit Filters"}).out, "New spam words\nGro\xC3\x9F\n");
    EXPECT_NE(reg({"export", kKey}).out.find("\"Audit Filters\"=hex(7):4e,00,65,00"),
              std::string::npos);
    test::RunOutput removed = reg({"delete", kKey, "max"});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_NE(reg({"get", kKey, "Max"}).status, 0);
}

TEST_F(KzmtaReg, ImportExportRoundTripsAnAdministratorsFile) {
    test::RunOutput imported = reg({"import", test::fixture("registry/admin_export_utf16.reg")});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(reg({"get", kKey, "Log Directory"}).out, "%SystemRoot%\\Kaztrel\\Logs\n");
    EXPECT_EQ(reg({"get", kKey, "Sibling Agents"}).out, "first\nsecond\n");
    EXPECT_EQ(reg({"get", kKey, "Big Counter"}).out, "4294967296\n");
    EXPECT_EQ(reg({"get", kKey, "Signature"}).out, "de,ad,be,ef\n");
    EXPECT_EQ(reg({"get", "SOFTWARE\\Kaztrel\\Kaztrel", "Organisation"}).out,
              "Soci\xC3\xA9t\xC3\xA9 \"Kaztrel\" Ltd\n");

    test::RunOutput part = reg({"export", std::string(kKey) + "\\COUNTERS"});
    EXPECT_EQ(part.out,
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER"
              "\\Counters]\n\"Service Start\"=dword:65a1b2c3\n\n");
}

TEST_F(KzmtaReg, ErrorsAndAMalformedRegistryAreReportedClearlyAndFail) {
    std::string malformed = test::fixture("registry/unknown_type.reg");
    std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
        {{"import", dir.file("missing.reg")}, 1, "cannot read " + dir.file("missing.reg")},
        {{"import", malformed}, 1, malformed + ": line 5: unknown value type 'qword'"},
    };
    for (const test::CaseLine& c : test::ReadCaseFile("tools/reg_errors.txt")) {
        std::vector<std::string> args(c.fields.begin() + 2, c.fields.end());
        for (std::string& arg : args) arg = arg == "KEY" ? kKey : arg;
        cases.emplace_back(args, std::stoi(c.fields[0]), c.fields[1]);
    }
    EXPECT_EQ(cases.size(), 18u);
    const std::string empty = "Windows Registry Editor Version 5.00\n";
    test::writeFile(registry, empty);
    for (const auto& [args, status, message] : cases) {
        test::RunOutput out = reg(args);
        EXPECT_EQ(out.status, status) << message;
        EXPECT_NE(out.err.find(message), std::string::npos) << out.err;
    }
    EXPECT_EQ(test::readFile(registry), empty);
    // A malformed registry file is reported with its line.
    test::writeFile(registry, test::readFile(test::fixture("registry/unknown_type.reg")));
    for (std::vector<std::string> args : {std::vector<std::string>{"get", kKey, "Reload"},
                                          {"list", kKey},
                                          {"export"},
                                          {"set", kKey, "Reload", "--dword", "1"}}) {
        test::RunOutput out = reg(args);
        EXPECT_EQ(out.status, 1) << args[0];
        EXPECT_NE(out.err.find(registry + ": line 5: unknown value type 'qword'"),
                  std::string::npos)
            << args[0] << ": " << out.err;
    }
}

// The installation's secret stays out of listings and exports unless asked for, and an
// export without it, imported elsewhere, leaves that registry's own secret alone.
TEST_F(KzmtaReg, ListAndExportHideTheLoopSealKeyUnlessAsked) {
    const std::string secret(64, 'a');
    ASSERT_EQ(reg({"set", kKey, "Loop Seal Key", "--string=" + secret}).status, 0);
    ASSERT_EQ(reg({"set", kKey, "Reload", "--dword=1"}).status, 0);
    test::RunOutput list = reg({"list", kKey});
    EXPECT_EQ(list.out,
              "Loop Seal Key\tREG_SZ\t(hidden; --show-secrets shows it)\nReload\tREG_DWORD\t1\n");
    EXPECT_NE(reg({"list", "--show-secrets", kKey}).out.find(secret), std::string::npos);

    test::RunOutput exported = reg({"export"});
    EXPECT_EQ(exported.out.find(secret), std::string::npos) << exported.out;
    EXPECT_NE(exported.out.find("; \"Loop Seal Key\" left out"), std::string::npos);
    EXPECT_NE(exported.out.find("\"Reload\"=dword:00000001"), std::string::npos);
    EXPECT_NE(reg({"export", kKey, "--show-secrets"}).out.find(secret), std::string::npos);

    const std::string other = dir.file("other.reg");
    const std::string own(64, 'b');
    test::writeFile(dir.file("export.reg"), exported.out);
    auto otherReg = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {test::binPath("kzmta"), "reg", "--registry=" + other});
        return test::run(args);
    };
    ASSERT_EQ(otherReg({"set", kKey, "Loop Seal Key", "--string", own}).status, 0);
    ASSERT_EQ(otherReg({"import", dir.file("export.reg")}).status, 0);
    EXPECT_EQ(otherReg({"get", kKey, "Loop Seal Key"}).out, own + "\n");
    EXPECT_EQ(otherReg({"get", kKey, "Reload"}).out, "1\n");
}

}  // namespace
}  // namespace kz::test
