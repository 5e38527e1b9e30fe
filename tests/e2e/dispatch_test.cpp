// Whole runs through the agent library loaded as the MTA loads it, over a mail server in a
// scratch folder built from a case under tests/fixtures/dispatch. A dispatch case's
// outcome.txt holds the report's Executed lines and every file the run left (the Windows
// library must leave the same for "lines" and "verdicts"), its trace.txt the texts the
// agent prints or writes to the report, with how often each appears. After a deliberate
// change of behaviour, KZ_UPDATE_EXPECTED=1 writes outcome.txt anew; review its diff like
// code.

// std::regex under the sanitizers trips a false -Wmaybe-uninitialized in GCC 12.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

#include "e2e/dispatch_server.h"
#include "e2e/full_folder.h"
#include "support/case_file.h"

namespace kz::test {
namespace {

struct DispatchCase {
    std::string name;
    std::vector<std::pair<std::string, std::string>> messages;  // id, sample
};

void PrintTo(const DispatchCase& c, std::ostream* out) {
    *out << c.name;
}

class DispatchOutcome : public testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchOutcome, FilesReportLinesAndTraceAreTheCasesOwn) {
    const DispatchCase& c = GetParam();
    DispatchServer server(c.name);
    std::vector<std::string> ids;
    for (const auto& [id, sample] : c.messages) {
        server.queue(id, sample);
        ids.push_back(id);
    }
    RunOutput out = server.filter(ids);
    ASSERT_EQ(out.status, 0) << out.err;

    const std::string expected = fixture("dispatch/" + c.name + "/outcome.txt");
    if (std::getenv("KZ_UPDATE_EXPECTED")) writeFile(expected, server.outcome());
    EXPECT_EQ(server.outcome(), readFile(expected));

    const std::string trace = out.out + server.reportLog();
    for (const CaseLine& line : ReadCaseFile("dispatch/" + c.name + "/trace.txt")) {
        const std::string text = Unescape(line.fields[1]);
        int count = 0;
        for (std::size_t at = 0; (at = trace.find(text, at)) != std::string::npos; ++at) ++count;
        EXPECT_EQ(count, std::stoi(line.fields[0])) << "trace.txt:" << line.number << "\n" << trace;
    }
}

// lines: a disabled DELETE before a quarantine copy, a header line followed by short
// lines, a MOVE whose copy fails, a stop in the middle of an action file, and a lower-case
// "delete" after it. verdicts: all-of with the met criterion first and last, any-of, and a
// script whose result text joins the criteria text. combined: one filter that rewrites,
// notifies from a template, forwards and runs a program. names: an attachment rule met by
// a repeated extension, template and criteria names that leave their folders, and fields
// too long for a report line.
INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchOutcome,
    testing::Values(DispatchCase{"lines", {{"PRIZE.MAI", "prize"}, {"FIGURES.MAI", "figures"}}},
                    DispatchCase{"verdicts", {{"PRIZE.MAI", "prize"}}},
                    DispatchCase{"combined", {{"PRIZE.MAI", "prize"}}},
                    DispatchCase{"names", {{"INVOICE.MAI", "invoice"}}}),
    [](const auto& info) { return info.param.name; });

// A mail server with an empty filter table; its Application Directory, "app", is empty.
struct Server : DispatchServer {
    Server() : DispatchServer("empty") {}

    // Adds these value lines to the agent's key.
    void agentValues(const std::string& lines) const {
        addRegistry(
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\"
            "Filters\\MTAFILTER]\r\n" +
            lines);
    }
    // Places the test library `stub` in the Application Directory as `name`.so.
    void install(const std::string& stub, const std::string& name) const {
        std::filesystem::create_directories(dir.file("app"));
        std::filesystem::copy_file(testLibPath(stub + ".so"), dir.file("app/" + name + ".so"));
    }
};

// An empty table returns at once without reading the message; a loaded one reads the
// envelope and reports the missing message.
TEST(AgentLibrary, EmptyTableReadsNothingALoadedOneReportsAMissingMessage) {
    Server server;
    RunOutput out = server.host({"SMTP", "MISSING.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Loaded 0 Filters\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("FilterExecute=1\n"), std::string::npos);
    EXPECT_EQ(out.out.find("unable to load message"), std::string::npos) << out.out;

    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Spam\t1\tSPAMCRIT\r\n");
    writeFile(server.dir.file("config/FILTERS/CRITERIA/SPAMCRIT.TAB"), "1\tSUBJECT\tfree\r\n");
    out = server.host({"SMTP", "MISSING.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Loaded 1 Filters\n"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("Filter was unable to load message MISSING.MAI\r\n"), std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("FilterExecute=1\n"), std::string::npos);
    EXPECT_NE(out.out.find("Releasing 1 Filters\n"), std::string::npos) << out.out;  // at detach
}

TEST(AgentLibrary, NamesLongerThanTheirFieldsAreRefusedNotCut) {
    Server server;
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "All\t1\tALL\r\n");
    std::string criteria;
    for (int kind = 0; kind < 27; ++kind)
        criteria += kind == 15 ? "1\tALLMESSAGES\t\t\t\t1\r\n" : "0\tX\t\t\t\t1\r\n";
    writeFile(server.dir.file("config/FILTERS/CRITERIA/ALL.TAB"), criteria);
    writeFile(server.dir.file("config/FILTERS/ACTIONS/ALL.TAB"), "1\t\t\tDELETE\t\r\n");
    // Cut to 63 characters, each name would pick the queued message below and delete it.
    std::string connector(63, 'C'), message(63, 'M');
    std::string inbound = server.dir.file("queue/" + connector + "/Inbound/");
    writeFile(inbound + message, "Sender=[SMTP:a@example.org]\r\n");
    writeFile(inbound + "Messages/" + message, "Subject: x\r\n\r\nHi\r\n");
    RunOutput out = server.host(
        {connector + "X", message, connector, message + "X", connector, std::string(5000, 'M')});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_EQ(out.out.find("FilterExecute=0"), std::string::npos) << out.out;
    EXPECT_TRUE(exists(inbound + message));
    EXPECT_TRUE(exists(inbound + "Messages/" + message));
    out = server.host({connector, message});
    EXPECT_FALSE(exists(inbound + message)) << out.out;
}

TEST(AgentLibrary, FilterInitWalksTheProcessingOrder) {
    Server server;
    server.addRegistry(readFile(fixture("dispatch/processing_order.reg")));
    RunOutput out = server.host({});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Antivirus Plugin Provider loading library..\n"), std::string::npos);
    EXPECT_NE(out.out.find("Antivirus Loading - Unable to locate AV Plugin Provider.\n"),
              std::string::npos);
    EXPECT_NE(out.out.find("FilterInit=0\n"), std::string::npos) << out.out;
}

// A library that fails to load (no KZWINDNS here) must not keep the agent loaded after the
// host lets it go: its detach would then run from the exit handlers and unload the
// antivirus library under glibc's own finalisation.
TEST(AgentLibrary, UnloadsWithAProviderLoadedAndExitsCleanly) {
    Server server;
    server.install("kzstub_antivirus", "KZAVGEN");
    server.agentValues("\"Antivirus Status\"=dword:00000001\r\n");
    RunOutput out = server.host({});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Antivirus Loading Library..\n"), std::string::npos) << out.out;
    // Detach ran at the host's dlclose, before the host's own last line.
    EXPECT_LT(out.out.find("Releasing 0 Filters\n"), out.out.find("unloaded\n")) << out.out;
}

TEST(AgentLibrary, ADnsLibraryThatThrowsEndsOnlyThatScan) {
    Server server;
    server.install("kzstub_dns", "KZWINDNS");
    writeFile(server.dir.file("app/KZWINDNS.reply"), "127.0.0.7 sbl.test\n");
    server.agentValues(
        "\"Perform SBLRBL\"=dword:00000001\r\n\"Activity Log Enabled\"=dword:00000002\r\n");
    writeFile(server.dir.file("config/FILTERS/FILTER.TAB"), "Links\t1\tLINKS\r\n");
    writeFile(server.dir.file("config/FILTERS/CRITERIA/LINKS.TAB"),
              readFile(fixture("providers/LINKS.TAB")));
    for (const char* name : {"links", "listed"}) {
        writeFile(server.commandFile(name), readFile(fixture("queue/all_keys.cmd")));
        writeFile(server.messageFile(name),
                  readFile(fixture(std::string("providers/") + name + ".eml")));
    }
    RunOutput out = server.host({"SMTP", "links", "SMTP", "listed"});
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("HasORBDBEntry handled an exception; session will be dropped.\n"
                           "The exception was: resolver gone\n"),
              std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("Message links was not filtered: its scan ended with an exception"),
              std::string::npos);
    EXPECT_NE(out.out.find("Message listed has link to blacklisted IP. 127.0.0.7 (127.0.0.7) was "
                           "found in blacklist sbl.test"),
              std::string::npos);
    EXPECT_NE(out.out.find("ProcessFilter: "), std::string::npos);
}

// The loop header through the loaded library, as a hostile sender meets it: only the
// messages the agent queued itself, sealed under their own names, skip the filter.
// (The antivirus verdict on such messages is shown in-process, in evaluators_providers_test.)
const std::string kPrizeActions =
    "ADD_SUBJECT_PREFIX,NOTIFY_SENDER,FORWARD_TO_ADDRESS,APPEND_ANNOTATIONS";

// One filter, on a lottery subject.
class LoopSeal : public testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        writeFile(server.registry, readFile(server.registry) +
                                       "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
                                       "\"Filter MIME\"=dword:0000000" +
                                       (GetParam() ? "1" : "0") + "\r\n");
    }

    // The prize message with header lines added after its first one.
    void queuePrize(const std::string& id, const std::string& extraHeaders) {
        server.queue(id, "prize");
        std::string text = readFile(server.messageFile(id));
        text.insert(text.find("\r\n") + 2, extraHeaders);
        writeFile(server.messageFile(id), text);
    }

    void filter(const std::vector<std::string>& ids) {
        RunOutput out = server.filter(ids);
        EXPECT_EQ(out.status, 0) << out.err;
    }

    // The queued messages other than those named.
    std::vector<std::string> others(const std::set<std::string>& known) const {
        std::vector<std::string> ids;
        for (const std::string& id : fileNames(server.inbound))
            if (!known.count(id)) ids.push_back(id);
        return ids;
    }

    DispatchServer server{"sealed"};
};

TEST_P(LoopSeal, AForgedLoopHeaderAndSealAreFilteredAsAnyMessage) {
    queuePrize("PRIZE.MAI", "X-KZFilter: 1\r\nX-KZFilter-Seal: " + std::string(64, '0') + "\r\n");
    filter({"PRIZE.MAI"});
    std::vector<std::string> lines = server.executedLines();
    ASSERT_EQ(lines.size(), 1u) << server.reportLog();
    EXPECT_NE(lines[0].find("\tPrize notice\t" + kPrizeActions + "\t"), std::string::npos)
        << lines[0];
    std::string message = readFile(server.messageFile("PRIZE.MAI"));
    EXPECT_NE(message.find("Subject: *SPAM* Claim"), std::string::npos) << message;
    // What the actions queued carries a real seal, and is not filtered again.
    std::vector<std::string> queued = others({"PRIZE.MAI"});
    ASSERT_EQ(queued.size(), 2u);
    for (const std::string& id : queued) {
        std::string text = readFile(server.messageFile(id));
        EXPECT_NE(text.find("X-KZFilter: 1\r\nX-KZFilter-Seal: "), std::string::npos) << text;
        std::size_t seal = text.find("X-KZFilter-Seal: ") + 17;
        EXPECT_NE(text.substr(seal, 64), std::string(64, '0'));  // the notice quotes the forgery
    }
    filter(queued);
    EXPECT_EQ(server.executedLines().size(), 1u);
}

TEST_P(LoopSeal, ASealCopiedToAnotherMessageDoesNotHold) {
    queuePrize("PRIZE.MAI", "");
    filter({"PRIZE.MAI"});
    std::string forward;
    for (const std::string& id : others({"PRIZE.MAI"})) {
        if (readFile(server.commandFile(id)).find("archive@example.org") != std::string::npos)
            forward = id;
    }
    ASSERT_FALSE(forward.empty());
    writeFile(server.commandFile("COPIED.MAI"), readFile(server.commandFile(forward)));
    writeFile(server.messageFile("COPIED.MAI"), readFile(server.messageFile(forward)));
    filter({"COPIED.MAI"});
    std::vector<std::string> lines = server.executedLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1].rfind("Executed\tCOPIED.MAI\tSMTP\tPrize notice\t", 0), 0u) << lines[1];
}

INSTANTIATE_TEST_SUITE_P(Scans, LoopSeal, testing::Bool(),
                         [](const auto& info) { return info.param ? "Mime" : "Plain"; });

// Several queue threads filter while the filter table is replaced and reloaded.
namespace fs = std::filesystem;

constexpr int kMessages = 240;

// Removes one "X-KZ-Tag: " header line; the letter it carried, or '?' when there is
// not exactly one.
char TakeTag(std::string& message) {
    const std::string name = "X-KZ-Tag: ";
    std::size_t at = message.find(name);
    if (at == std::string::npos || message.find(name, at + 1) != std::string::npos) return '?';
    char tag = message[at + name.size()];
    message.erase(at, message.find('\n', at) + 1 - at);
    return tag;
}

TEST(DispatchReload, QueueThreadsLoseNoMessageWhileTheTableIsReloaded) {
    DispatchServer server("reload");
    std::set<std::string> kept, dropped;
    for (int i = 0; i < kMessages; ++i) {
        std::string id = "M" + std::to_string(1000 + i) + ".MAI";
        bool drop = i % 2 == 1;
        server.queue(id, drop ? "prize" : "figures");
        (drop ? dropped : kept).insert(id);
    }
    // One reload is due before the first message; more follow during the run.
    writeFile(server.registry, readFile(server.registry) + "\"Reload\"=dword:00000001\r\n");

    // Meanwhile FILTER.TAB is swapped between its two versions (each complete before it is
    // visible) and a reload asked for, again and again.
    const std::string table = server.dir.file("config/FILTERS/FILTER.TAB");
    const std::string versions[] = {readFile(table), readFile(server.dir.file("FILTER-B.TAB"))};
    std::atomic<bool> stop{false};
    std::atomic<int> requests{0};
    std::thread requester([&] {
        for (int turn = 1; !stop; ++turn, ++requests) {
            writeFile(table + ".new", versions[turn % 2]);
            fs::rename(table + ".new", table);
            run({binPath("kzmta"), "reload", "--registry", server.registry});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    RunOutput out =
        run(kzmtaRun(server.registry, {"--threads", "4"}), {"KZ_RUNTIME_DIR=" + server.dir.path()});
    stop = true;
    requester.join();
    EXPECT_GT(requests, 0);
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Messages filtered: " + std::to_string(kMessages) + "\n"),
              std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("New messages queued by actions: 0\n"), std::string::npos);

    // Kept mail was handed on whole, tagged once by whichever table it met.
    const std::string outgoing = server.dir.file("queue/SMTP/Outgoing");
    EXPECT_EQ(fileNames(outgoing), kept);
    EXPECT_EQ(fileNames(outgoing + "/Messages"), kept);
    EXPECT_TRUE(fileNames(server.inbound).empty());
    EXPECT_TRUE(fileNames(server.inbound + "/Messages").empty());
    const std::string original = readFile(fixture("dispatch/messages/figures.eml"));
    const std::string envelope = readFile(fixture("dispatch/messages/figures.cmd"));
    for (const std::string& id : kept) {
        std::string message = readFile(outgoing + "/Messages/" + id);
        char tag = TakeTag(message);
        EXPECT_TRUE(tag == 'A' || tag == 'B') << id;
        EXPECT_EQ(message, original) << id;
        EXPECT_EQ(readFile(outgoing + "/" + id), envelope) << id;
    }

    // One tag line per message and one drop line per dropped message, none torn.
    std::map<std::string, int> tagged, deleted;
    for (const std::string& line : server.executedLines()) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9) << line;
        std::string id = line.substr(9, line.find('\t', 9) - 9);
        if (line.find("\tTagged A\tADD_HEADER\t") != std::string::npos ||
            line.find("\tTagged B\tADD_HEADER\t") != std::string::npos) {
            ++tagged[id];
        } else if (line.find("\tDropped\tDELETE\t") != std::string::npos) {
            ++deleted[id];
        } else {
            ADD_FAILURE() << line;
        }
    }
    EXPECT_EQ(tagged.size(), std::size_t(kMessages));
    for (const auto& [id, count] : tagged) EXPECT_EQ(count, 1) << id;
    EXPECT_EQ(deleted.size(), dropped.size());
    for (const auto& [id, count] : deleted) EXPECT_TRUE(dropped.count(id) && count == 1) << id;
    EXPECT_NE(server.reportLog().find("\tReloading filters due to change.\n"), std::string::npos);
}

// A full file system, as a busy server meets it, through the loaded library: FilterExecute,
// whose result the MTA does not read, and FilterExecuteChecked, for a host that asks the
// sender to try again later. "held" quarantines, files and deletes prize messages, and
// prefixes the subject of figures.
class FullDisk : public testing::Test {
  protected:
    std::optional<RunOutput> filterWithFull(const std::string& folder,
                                            const std::vector<std::string>& pairs) {
        std::vector<std::string> argv = {binPath("kztest-agent_host"),
                                         libPath("libkzmtafilter.so")};
        argv.insert(argv.end(), pairs.begin(), pairs.end());
        return RunWithFullFolder(folder, argv, server.environment());
    }
    // The events about messages the agent could not handle as asked.
    int undoneEvents() const {
        std::string events = exists(server.events) ? readFile(server.events) : "";
        int count = 0;
        for (std::size_t at = 0; (at = events.find("could not be", at)) != std::string::npos; ++at)
            ++count;
        return count;
    }
    void expectHeldInBadMail(const std::string& id, const std::string& sample) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(exists(server.commandFile(id)));
        EXPECT_FALSE(exists(server.messageFile(id)));
        const std::string held = server.dir.file("badmail/Messages/" + id);
        EXPECT_EQ(readFile(held), readFile(fixture("dispatch/messages/" + sample + ".eml")));
        EXPECT_TRUE(exists(server.dir.file("badmail/" + id)));
        // Only the administrator reads held mail.
        EXPECT_EQ(fs::status(held).permissions(), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(fs::status(server.dir.file("badmail/Messages")).permissions(),
                  fs::perms::owner_all);
    }
    void expectQueuedAsItCame(const std::string& id, const std::string& sample) {
        SCOPED_TRACE(id);
        EXPECT_TRUE(exists(server.commandFile(id)));
        EXPECT_EQ(readFile(server.messageFile(id)),
                  readFile(fixture("dispatch/messages/" + sample + ".eml")));
        EXPECT_FALSE(exists(server.dir.file("badmail/" + id)));
    }

    DispatchServer server{"held"};
};

// The quarantine copy fails: the MOVE and the DELETE after it do not run, nothing is
// reported as done, and the message is neither lost nor handed on unchecked.
TEST_F(FullDisk, AFailedQuarantineCopyRemovesNothingAndHoldsTheMessage) {
    const std::string mailbox = server.dir.file("mail/example.com/MAILROOT/anna");
    fs::create_directories(mailbox);
    server.queue("PRIZE.MAI", "prize");
    server.queue("AGAIN.MAI", "prize");
    auto out = filterWithFull(server.dir.file("quarantine"),
                              {"SMTP", "PRIZE.MAI", "checked:SMTP", "AGAIN.MAI"});
    if (!out) GTEST_SKIP() << "no small file system can be mounted here";
    ASSERT_EQ(out->status, 0) << out->err;
    EXPECT_LT(out->out.find("FilterExecute=1\n"), out->out.find("FilterExecuteChecked=0\n"))
        << out->out;
    expectHeldInBadMail("PRIZE.MAI", "prize");
    expectQueuedAsItCame("AGAIN.MAI", "prize");
    EXPECT_EQ(fileTree(server.dir.file("quarantine")).size(), 0u);
    EXPECT_EQ(fileTree(mailbox).size(), 0u);
    EXPECT_EQ(server.executedLines(), std::vector<std::string>{});
    EXPECT_EQ(undoneEvents(), 1) << "one a minute at most";
}

// No room for the working copy of a subject prefix: the message does not go on unmarked.
TEST_F(FullDisk, ARewriteWithNoRoomIsNeitherDeliveredUnmarkedNorReported) {
    server.queue("FIGURES.MAI", "figures");
    server.queue("LATER.MAI", "figures");
    // The message that leaves the queue last: its room would do for the other one.
    auto out = filterWithFull(server.inbound, {"checked:SMTP", "LATER.MAI", "SMTP", "FIGURES.MAI"});
    if (!out) GTEST_SKIP() << "no small file system can be mounted here";
    ASSERT_EQ(out->status, 0) << out->err;
    EXPECT_LT(out->out.find("FilterExecuteChecked=0\n"), out->out.find("FilterExecute=1\n"))
        << out->out;
    expectHeldInBadMail("FIGURES.MAI", "figures");
    expectQueuedAsItCame("LATER.MAI", "figures");
    EXPECT_EQ(server.executedLines(), std::vector<std::string>{});
    EXPECT_EQ(undoneEvents(), 1);

    // With room again, the held message's filter does its work and the run is done.
    RunOutput again = server.host({"checked:SMTP", "LATER.MAI"});
    EXPECT_NE(again.out.find("FilterExecuteChecked=1\n"), std::string::npos) << again.out;
    EXPECT_NE(readFile(server.messageFile("LATER.MAI")).find("Subject: [FIGURES] Quarterly"),
              std::string::npos);
}

}  // namespace
}  // namespace kz::test
