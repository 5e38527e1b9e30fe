// kzmta quarantine and kzmta stats on a quarantine the agent made and on report logs
// whose figures the test counts itself.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "e2e/dispatch_server.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

// The agent's environment of tests/fixtures/console/env with the stand-in antivirus,
// which finds a virus while `virus` is set.
struct Console {
    TempDir dir;
    std::string registry = dir.file("registry.reg");
    std::string quarantine = dir.file("quarantine");
    std::string inbound = dir.file("queue/SMTP/Inbound");
    std::string outgoing = dir.file("queue/SMTP/Outgoing");
    std::vector<std::string> env = {"KZ_RUNTIME_DIR=" + dir.path(), "SUDO_USER=", "USER=tester"};

    Console() {
        copyFixture("console/env", dir.path());
        for (const char* folder :
             {"queue/SMTP/Inbound/Messages", "badmail", "logs", "app", "quarantine"})
            fs::create_directories(dir.file(folder));
        fs::copy_file(testLibPath("kzstub_antivirus.so"), dir.file("app/KZAVGEN.so"));
        virus(false);
    }
    void virus(bool found) const {
        writeFile(dir.file("app/KZAVGEN.reply"), found ? "1\nEICAR\n" : "0\n");
    }
    void queueProgram(const std::string& id) const {
        writeFile(inbound + "/Messages/" + id, readFile(fixture("console/program.eml")));
        writeFile(inbound + "/" + id, readFile(fixture("console/program.cmd")));
    }
    void runQueue() const {
        RunOutput out = run(kzmtaRun(registry, {"--leftover-age", "0"}), env);
        ASSERT_EQ(out.status, 0) << out.err;
    }
    RunOutput kzmta(std::vector<std::string> args) const {
        args.insert(args.begin() + 1, {"--registry", registry});
        args.insert(args.begin(), binPath("kzmta"));
        return run(args, env);
    }
    Json json(const std::vector<std::string>& args) const {
        RunOutput out = kzmta(args);
        EXPECT_EQ(out.status, 0) << out.err;
        return Json::parse(out.out);
    }
    std::vector<std::string> logLines(const std::string& action) const {
        std::vector<std::string> found;
        for (const std::string& line : reportLines(dir.file("logs")))
            if (line.starts_with(action + "\t")) found.push_back(line);
        return found;
    }
};

TEST(KzmtaQuarantine, ListsAndShowsWhatTheAgentHeld) {
    Console c;
    c.queueProgram("P1.MAI");
    c.runQueue();
    ASSERT_TRUE(exists(c.quarantine + "/P1.MAI"));

    Json list = c.json({"quarantine", "list", "--json"});
    ASSERT_EQ(list.size(), 1u) << list;
    const Json& held = list[0];
    EXPECT_EQ(held["id"], "P1.MAI");
    EXPECT_EQ(held["connector"], "SMTP");
    EXPECT_EQ(held["sender"], "billing@invoices.example");
    EXPECT_EQ(held["recipients"], Json({"alice@example.com", "bob@example.com"}));
    EXPECT_EQ(held["subject"], "Facture \u2116 4711");  // decoded from its encoded word
    EXPECT_EQ(held["size"], fs::file_size(c.quarantine + "/Messages/P1.MAI"));
    EXPECT_EQ(held["filters"], Json({"Programs are never delivered"}));
    EXPECT_EQ(held["milter"], false);
    EXPECT_TRUE(std::string(held["time"]).ends_with("Z"));

    EXPECT_EQ(c.json({"quarantine", "list", "--json", "--sender", "INVOICES"}).size(), 1u);
    EXPECT_EQ(c.json({"quarantine", "list", "--json", "--sender", "nobody"}).size(), 0u);
    EXPECT_EQ(c.json({"quarantine", "list", "--json", "--filter", "Messages with a virus"}).size(),
              0u);
    EXPECT_EQ(c.json({"quarantine", "list", "--json", "--until", "2000-01-01"}).size(), 0u);

    Json shown = c.json({"quarantine", "show", "P1.MAI", "--json"});
    EXPECT_EQ(shown["message"], held);
    ASSERT_EQ(shown["reportLines"].size(), 1u);
    EXPECT_NE(std::string(shown["reportLines"][0]).find("COPY_TO_QUARANTINE,DELETE"),
              std::string::npos);
    ASSERT_EQ(shown["parts"].size(), 2u);
    EXPECT_EQ(shown["parts"][1]["fileName"], "invoice.exe");
    EXPECT_EQ(shown["textBody"], "Please find the invoice attached.");
}

TEST(KzmtaQuarantine, RefusesIdsThatAreNotHeldMessages) {
    Console c;
    c.queueProgram("P1.MAI");
    c.runQueue();
    writeFile(c.dir.file("secret"), "not mail");
    for (const std::string& id :
         std::vector<std::string>{"../secret", "..", ".", "Messages", "a/b", "a\\b", ".P1.MAI",
                                  "P1.MAI\n", std::string(100, 'A'), std::string()}) {
        for (const char* command : {"show", "release", "delete"}) {
            RunOutput out = c.kzmta({"quarantine", command, id});
            EXPECT_EQ(out.status, 2) << command << " " << id << ": " << out.err;
            EXPECT_NE(out.err.find(id.empty() ? "ID" : "not a quarantined message's ID"),
                      std::string::npos)
                << out.err;
        }
    }
    RunOutput missing = c.kzmta({"quarantine", "delete", "P2.MAI"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no message P2.MAI in the quarantine"), std::string::npos);
    EXPECT_TRUE(exists(c.dir.file("secret")));
    EXPECT_TRUE(exists(c.quarantine + "/P1.MAI"));
}

TEST(KzmtaQuarantine, AReleasedMessagePassesOnceAndAVirusIsHeldAgain) {
    Console c;
    c.queueProgram("P1.MAI");
    c.runQueue();
    Json released = c.json({"quarantine", "release", "P1.MAI", "--json"});
    EXPECT_EQ(released["route"], "queue");
    EXPECT_EQ(released["connector"], "SMTP");
    const std::string name = released["queuedAs"];
    EXPECT_TRUE(fileNames(c.quarantine).empty());
    EXPECT_TRUE(fileNames(c.quarantine + "/Messages").empty());
    // Queued with its whole envelope, under a new name the seal is made for.
    EXPECT_EQ(readFile(c.inbound + "/" + name).find("Recipients=[SMTP:alice@example.com];"), 0u);
    EXPECT_NE(readFile(c.inbound + "/" + name).find("ClientIP=203.0.113.7"), std::string::npos);
    c.runQueue();
    EXPECT_EQ(fileNames(c.outgoing), std::set<std::string>{name});  // delivered, once
    EXPECT_TRUE(fileNames(c.quarantine).empty());
    auto lines = c.logLines("Released");
    ASSERT_EQ(lines.size(), 1u);
    auto fields = tabFields(lines[0]);
    EXPECT_EQ(fields[1], "P1.MAI");
    EXPECT_EQ(fields[3], "Programs are never delivered");
    EXPECT_EQ(fields[8], "by tester");

    // The seal passes no virus: the released copy is held again.
    c.virus(true);
    c.queueProgram("V1.MAI");
    c.runQueue();
    ASSERT_EQ(fileNames(c.quarantine), std::set<std::string>{"V1.MAI"});
    Json again = c.json({"quarantine", "release", "V1.MAI", "--json", "--to", "admin@example.com"});
    const std::string second = again["queuedAs"];
    EXPECT_EQ(readFile(c.inbound + "/" + second).find("Recipients=[SMTP:admin@example.com]\r\n"),
              0u);
    c.runQueue();
    EXPECT_EQ(fileNames(c.quarantine), std::set<std::string>{second});
    EXPECT_EQ(fileNames(c.outgoing), std::set<std::string>{name});
    Json list = c.json({"quarantine", "list", "--json"});
    EXPECT_EQ(list[0]["filters"], Json({"Messages with a virus"}));

    RunOutput removed = c.kzmta({"quarantine", "delete", second});
    EXPECT_EQ(removed.status, 0) << removed.err;
    EXPECT_TRUE(fileNames(c.quarantine).empty());
    EXPECT_EQ(c.logLines("Deleted").size(), 1u);
}

TEST(KzmtaQuarantine, PurgeRemovesWhatIsOlderThanQuarantineDays) {
    Console c;
    c.queueProgram("OLD.MAI");
    c.queueProgram("NEW.MAI");
    c.runQueue();
    auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 15);
    fs::last_write_time(c.quarantine + "/OLD.MAI", old);
    RunOutput none = c.kzmta({"quarantine", "purge", "--older-than", "0"});
    EXPECT_NE(none.out.find("Nothing purged"), std::string::npos) << none.out;
    EXPECT_EQ(fileNames(c.quarantine).size(), 2u);
    // "Quarantine Days" is 14 in the registry.
    RunOutput purged = c.kzmta({"quarantine", "purge"});
    EXPECT_EQ(purged.status, 0) << purged.err;
    EXPECT_NE(purged.out.find("Purged 1 message held longer than 14 days"), std::string::npos)
        << purged.out;
    EXPECT_EQ(fileNames(c.quarantine), std::set<std::string>{"NEW.MAI"});
    EXPECT_EQ(fileNames(c.quarantine + "/Messages"), std::set<std::string>{"NEW.MAI"});
    EXPECT_EQ(c.kzmta({"quarantine", "purge", "--older-than", "-1"}).status, 2);
}

// What the fixture logs hold, counted here without the index: "Executed" lines per filter,
// and messages as runs of lines of one message and connector.
struct Counted {
    std::map<std::string, int64_t> hits;
    int64_t messages = 0;
};

Counted countLogs(const std::vector<std::string>& files) {
    Counted counted;
    for (const std::string& file : files) {
        std::string text = readFile(file), last;
        std::size_t at = 0;
        for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = text.substr(at, end - at);
            if (line.ends_with('\r')) line.pop_back();
            auto fields = tabFields(line);
            if (fields.size() < 11 || fields[1] != "Executed") continue;
            ++counted.hits[fields[4]];
            if (fields[2] + "\t" + fields[3] != last)
                ++counted.messages, last = fields[2] + "\t" + fields[3];
        }
    }
    return counted;
}

TEST(KzmtaStats, FiguresEqualTheLinesOfTheLogsAndFollowThemAsTheyGrow) {
    Console c;
    copyFixture("console/logs", c.dir.file("logs"));
    std::vector<std::string> logs = {c.dir.file("logs/MTAFILTER-Report-261205.log"),
                                     c.dir.file("logs/MTAFILTER-Report-261206.log")};
    auto check = [&](const Json& stats) {
        Counted counted = countLogs(logs);
        EXPECT_EQ(stats["messages"], counted.messages);
        int64_t total = 0;
        for (const Json& filter : stats["filters"]) {
            EXPECT_EQ(filter["hits"], counted.hits[filter["description"]]) << filter;
            total += int64_t(filter["hits"]);
        }
        EXPECT_EQ(stats["hits"], total);
    };
    Json stats = c.json({"stats", "--json"});
    check(stats);
    std::vector<std::string> order;
    for (const Json& filter : stats["filters"]) order.push_back(filter["description"]);
    EXPECT_EQ(order,
              (std::vector<std::string>{"Messages with a virus", "Programs are never delivered",
                                        "Subjects with spam words", "Watched senders",
                                        "Old \"rule\" \\ removed"}));
    EXPECT_EQ(stats["filters"][3]["audited"], 2);
    EXPECT_EQ(stats["filters"][4]["inTable"], false);
    EXPECT_EQ(stats["connectors"], Json::parse(R"([{"connector":"SMTP","hits":7},
                                                   {"connector":"LOCAL","hits":2}])"));

    Json day = c.json({"stats", "--json", "--since", "2026-12-06", "--by", "hour"});
    EXPECT_EQ(day["messages"], 3);
    EXPECT_EQ(day["hits"], 4);
    EXPECT_EQ(day["periods"][0]["start"], "2026-12-06T00:00");
    EXPECT_EQ(c.json({"stats", "--json", "--until", "2026-12-05T22"})["hits"], 4);

    // A line still being written is counted once, when it is whole; a day's file that is
    // written anew is counted anew.
    std::string line =
        "12/07/26 10:00:00\tExecuted\tC1.MAI\tSMTP\tMessages with a virus\tDELETE"
        "\t\t[SMTP:a@example.org]\t192.0.2.1\tCRITERIA=HASVIRUS\tHi\n";
    logs.push_back(c.dir.file("logs/MTAFILTER-Report-261207.log"));
    writeFile(logs.back(), line.substr(0, 40));
    check(c.json({"stats", "--json"}));
    writeFile(logs.back(), line + line.substr(0, 30));
    check(c.json({"stats", "--json"}));
    writeFile(logs[1], readFile(fixture("console/logs/MTAFILTER-Report-261205.log")));
    check(c.json({"stats", "--json"}));
    EXPECT_TRUE(exists(c.dir.file("logs/kzmta-report-index.db")));
}

TEST(KzmtaStats, PrometheusFileParses) {
    Console c;
    copyFixture("console/logs", c.dir.file("logs"));
    std::string metrics = c.dir.file("kzmta.prom");
    RunOutput out = c.kzmta({"stats", "--prometheus", metrics});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out, "");
    std::string text = readFile(metrics);
    EXPECT_NE(text.find("kzmta_messages_total 7\n"), std::string::npos) << text;
    EXPECT_NE(text.find("kzmta_filter_hits_total{filter=\"Programs are never delivered\"} 2\n"),
              std::string::npos);
    EXPECT_NE(text.find("kzmta_filter_hits_total{filter=\"Old \\\"rule\\\" \\\\ removed\"} 1\n"),
              std::string::npos);
    EXPECT_NE(text.find("kzmta_provider_scans_total{provider=\"antivirus\"} 0\n"),
              std::string::npos);
    RunOutput check = run({"sh", "-c", "promtool check metrics < '" + metrics + "'"});
    EXPECT_EQ(check.status, 0) << check.out << check.err;
}

}  // namespace
}  // namespace kz::test
