// kzmta run: the MTA stand-in filters a queue through the agent library.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <set>

#include "e2e/dispatch_server.h"

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
    RunOutput noRoot = run({binPath("kzmta"), "run", "--registry", q.dir.file("missing.reg")});
    EXPECT_NE(noRoot.status, 0);
    EXPECT_NE(noRoot.err.find("Connector Root Directory"), std::string::npos) << noRoot.err;

    RunOutput badThreads = run(kzmtaRun(q.registry, {"--threads", "many"}));
    EXPECT_NE(badThreads.status, 0);
    EXPECT_NE(badThreads.err.find("--threads"), std::string::npos) << badThreads.err;

    RunOutput badLibrary = run(
        {binPath("kzmta"), "run", "--registry", q.registry, "--library", q.dir.file("none.so")});
    EXPECT_NE(badLibrary.status, 0);
    EXPECT_NE(badLibrary.err.find("cannot load the agent library"), std::string::npos)
        << badLibrary.err;
}

}  // namespace
}  // namespace kz::test
