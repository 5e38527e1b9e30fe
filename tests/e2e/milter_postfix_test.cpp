// kzmta milter behind a real Postfix that the test starts in a folder of its own, with
// mail sent by SMTP and delivered to mailbox files.

#include "e2e/milter_postfix.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(MilterPostfix, MailThroughPostfixIsFilteredAndAStoppedMilterMeansTryLater) {
    if (std::string why = WhyPostfixCannotRun(); !why.empty()) GTEST_SKIP() << why;
    PostfixWithMilter mta;
    if (std::string why = mta.startPostfix(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(mta.startMilter({"--threads", "2", "--hand-off-returns"})) << mta.milter->output();

    // Spam words: delivered with the subject prefix and the header the actions add.
    ASSERT_EQ(mta.send("spam.eml"), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("spam-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] You are a winner\n"), std::string::npos);
    EXPECT_NE(mta.mailbox("bob").find("X-Spam-Reason: SUBJECT ann@example.org\n"),
              std::string::npos);

    // An executable: discarded, kept in quarantine, and the sender told. The notice
    // passes the milter again on its way in (non_smtpd_milters) and is known by its seal
    // and body: the agent sees it as its own.
    ASSERT_EQ(mta.send("exe.eml"), 250);
    ASSERT_TRUE(WaitFor([&] {
        return mta.mailbox("ann").find("not delivered") != std::string::npos;
    })) << mta.milter->output();
    EXPECT_NE(mta.mailbox("ann").find("Subject: Your message was not delivered\n"),
              std::string::npos);
    EXPECT_TRUE(mta.milter->waitForLine("(a message it handed on, back)", 10));

    // Its recipient sends it on with the seal and a body of their own: filtered as any mail.
    std::string notice = mta.mailbox("ann");
    notice = notice.substr(notice.find("\n", notice.rfind("\nFrom ") + 1) + 1);
    notice.replace(notice.find("Subject: Your message was not delivered"),
                   std::string_view("Subject: Your message was not delivered").size(),
                   "Subject: You are a winner again");
    notice = notice.substr(0, notice.find("\n\n") + 2) + "Claim it today.\n";
    writeFile(mta.dir.file("replay.eml"), notice);
    ASSERT_EQ(mta.sendFile(mta.dir.file("replay.eml")), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("again") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] You are a winner again"), std::string::npos);
    std::string quarantined;
    for (const auto& entry : fs::directory_iterator(mta.agent + "/quarantine/Messages")) {
        quarantined += readFile(entry.path().string());
        // The milter runs with umask 077: held mail is for its user alone.
        EXPECT_EQ(entry.status().permissions(), fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_NE(quarantined.find("filename=\"setup.exe\""), std::string::npos);

    // A loop header the sender wrote itself does not pass unfiltered.
    ASSERT_EQ(mta.send("forged.eml"), 250);
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("forged-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SPAM] Winner of the lottery"), std::string::npos);
    EXPECT_EQ(mta.mailbox("bob").find("exe-1@"), std::string::npos);

    // Nothing is left in the spool.
    std::string inbound = mta.agent + "/spool/SMTP/Inbound";
    EXPECT_TRUE(WaitFor([&] { return fs::is_empty(inbound + "/Messages"); }, 5s));

    // Without the milter Postfix answers "try later", never accepts unfiltered.
    mta.milter->signal(SIGTERM);
    ASSERT_TRUE(mta.milter->waitForLine("stopped", 30)) << mta.milter->output();
    EXPECT_EQ(mta.milter->wait(), 0);
    int code = mta.send("spam.eml");
    EXPECT_GE(code, 400);
    EXPECT_LT(code, 500);

    // Bounds and the configured refusal: a message over the size is refused before its
    // data, a removed one rejected instead of discarded. The notice goes back by SMTP
    // this time, through the milter again, and is let through.
    ASSERT_TRUE(mta.startMilter({"--max-size", "2000", "--reject", "554 5.7.1 Not here", "--submit",
                                 "127.0.0.1:" + std::to_string(mta.port), "--hand-off-returns"}))
        << mta.milter->output();
    EXPECT_EQ(mta.send("report.eml"), 552);
    EXPECT_EQ(mta.send("exe.eml"), 554);
    EXPECT_TRUE(mta.milter->waitForLine("(a message it handed on, back)", 20))
        << mta.milter->output();
    auto notices = [&] {
        std::string box = mta.mailbox("ann");
        std::size_t n = 0;
        for (std::size_t at = 0;
             (at = box.find("Subject: Your message was not delivered\n", at)) != std::string::npos;
             ++at)
            ++n;
        return n;
    };
    EXPECT_TRUE(WaitFor([&] { return notices() == 2; }));

    // A quarantine that cannot take the copy (a file stands where its folder should be):
    // the executable is neither discarded nor delivered; the client is told to try later.
    std::string quarantine = mta.agent + "/quarantine";
    fs::rename(quarantine, quarantine + ".kept");
    writeFile(quarantine, "");
    int held = mta.send("exe.eml");
    EXPECT_GE(held, 400) << mta.milter->output();
    EXPECT_LT(held, 500);
    EXPECT_TRUE(mta.milter->waitForLine("could not keep its copy", 10)) << mta.milter->output();
    fs::remove(quarantine);
    fs::rename(quarantine + ".kept", quarantine);
}

// What systemd's socket reads: one datagram per notification.
struct NotifySocket {
    std::string path;
    int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    explicit NotifySocket(std::string p) : path(std::move(p)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        timeval bound{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    }
    ~NotifySocket() { close(fd); }
    // Datagrams until one contains `text` (true) or none comes for a while.
    bool waitFor(std::string_view text, std::string& seen) {
        for (int quiet = 0; quiet < 15;) {
            char buffer[512];
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) {
                ++quiet;
                continue;
            }
            seen.append(buffer, std::size_t(n)).append("|");
            if (std::string_view(buffer, std::size_t(n)).find(text) != std::string_view::npos)
                return true;
        }
        return false;
    }
};

TEST(MilterPostfix, AsAServiceItTellsSystemdReloadsOnHangUpAndLogsEveryTransaction) {
    if (std::string why = WhyPostfixCannotRun(); !why.empty()) GTEST_SKIP() << why;
    PostfixWithMilter mta;
    if (std::string why = mta.startPostfix(); !why.empty()) GTEST_SKIP() << why;
    // Mail of the MTA's own in the spool's Outgoing folder: not the milter's to send.
    std::string outgoing = mta.agent + "/spool/SMTP/Outgoing";
    fs::create_directories(outgoing + "/Messages");
    writeFile(outgoing + "/ORIGINAL.MAI", "Recipients=[SMTP:bob@example.com]\r\n");
    writeFile(outgoing + "/Messages/ORIGINAL.MAI", "Subject: demo\r\n\r\nbody\r\n");
    NotifySocket notify(mta.dir.file("notify"));
    ASSERT_TRUE(mta.startMilter({}, {"NOTIFY_SOCKET=" + notify.path, "WATCHDOG_USEC=400000"}))
        << mta.milter->output();
    std::string seen;
    EXPECT_TRUE(notify.waitFor("READY=1", seen)) << seen;
    EXPECT_TRUE(notify.waitFor("WATCHDOG=1", seen)) << seen;

    // One line per transaction without --verbose: Postfix's queue ID, the spool's, the verdict.
    ASSERT_EQ(mta.send("spam.eml"), 250);
    ASSERT_TRUE(mta.milter->waitForLine("from <ann@example.org>, 1 recipient: accepted with"))
        << mta.milter->output();
    std::string output = mta.milter->output();
    std::string line = output.substr(output.rfind("kzmta milter: "));
    EXPECT_NE(line.find(": spool MILTER-"), std::string::npos) << line;
    EXPECT_EQ(line.find("kzmta milter: -:"), std::string::npos) << line;  // the queue ID is there
    EXPECT_NE(line.find("; filters: Subjects and bodies with spam words\n"), std::string::npos)
        << line;

    // SIGHUP: a reload, and the milter goes on.
    mta.milter->signal(SIGHUP);
    EXPECT_TRUE(mta.milter->waitForLine("SIGHUP: the agent reloads", 10)) << mta.milter->output();
    EXPECT_TRUE(notify.waitFor("RELOADING=1", seen)) << seen;
    EXPECT_TRUE(notify.waitFor("READY=1", seen)) << seen;
    EXPECT_NE(readFile(mta.agent + "/registry.reg").find("\"Reload\"=dword:00000001"),
              std::string::npos);
    ASSERT_EQ(mta.send("spam.eml"), 250);
    EXPECT_TRUE(WaitFor([&] {
        std::string box = mta.mailbox("bob");
        return box.find("spam-1@") != box.rfind("spam-1@");
    })) << mta.milter->output();
    EXPECT_TRUE(exists(outgoing + "/ORIGINAL.MAI"));
    EXPECT_EQ(mta.mailbox("bob").find("Subject: demo"), std::string::npos);

    mta.milter->signal(SIGTERM);
    EXPECT_TRUE(notify.waitFor("STOPPING=1", seen)) << seen;
    EXPECT_EQ(mta.milter->wait(), 0);

    // Memory: bodies go to the spool as they arrive, header blocks count against the bound.
    ASSERT_TRUE(mta.startMilter({"--memory-limit", "65536"})) << mta.milter->output();
    std::string pad = "X-Pad: " + std::string(900, 'p') + "\n";
    std::string large;
    for (int i = 0; i < 40; ++i) large += pad;
    writeFile(mta.dir.file("headers.eml"), large + "Subject: many headers\n\nshort\n");
    int code = mta.sendFile(mta.dir.file("headers.eml"));
    EXPECT_GE(code, 400);
    EXPECT_LT(code, 500);
    std::string bodyLine(76, 'b');
    std::string body;
    for (int i = 0; i < 20000; ++i) body += bodyLine + "\n";  // 1.5 MB
    writeFile(mta.dir.file("body.eml"), "Subject: a long body\n\n" + body);
    EXPECT_EQ(mta.sendFile(mta.dir.file("body.eml")), 250);
    EXPECT_TRUE(
        WaitFor([&] { return mta.mailbox("bob").find("a long body") != std::string::npos; }));
}

// A run over --timeout goes on; its forward goes out once, and its outcome answers the
// client's retry instead of a second run.
TEST(MilterPostfix, ARunPastTheTimeoutAnswersTheRetryWithoutRepeatingItsActions) {
    if (std::string why = WhyPostfixCannotRun(); !why.empty()) GTEST_SKIP() << why;
    PostfixWithMilter mta;
    if (std::string why = mta.startPostfix(); !why.empty()) GTEST_SKIP() << why;
    ASSERT_TRUE(mta.startMilter({"--timeout", "1", "--hand-off-returns"})) << mta.milter->output();
    int first = mta.send("slow.eml");
    EXPECT_GE(first, 400);
    EXPECT_LT(first, 500);
    ASSERT_TRUE(WaitFor([&] {
        return mta.mailbox("carol").find("Sent slowly") != std::string::npos;
    })) << mta.milter->output();
    // Until the run has ended the retry waits too; then it is answered from its outcome.
    int retry = 0;
    for (int attempt = 0; attempt < 10 && retry != 250; ++attempt) {
        retry = mta.send("slow.eml");
        if (retry != 250) std::this_thread::sleep_for(500ms);
    }
    ASSERT_EQ(retry, 250) << mta.milter->output();
    ASSERT_TRUE(WaitFor([&] { return mta.mailbox("bob").find("slow-1@") != std::string::npos; }));
    EXPECT_NE(mta.mailbox("bob").find("Subject: [SLOW] Sent slowly\n"), std::string::npos);
    EXPECT_TRUE(mta.milter->waitForLine("(the decision of an earlier attempt's run)", 5))
        << mta.milter->output();
    std::this_thread::sleep_for(1s);  // a second forward would be on its way by now
    std::string carol = mta.mailbox("carol");
    EXPECT_EQ(carol.find("Sent slowly"), carol.rfind("Sent slowly")) << carol;
}

}  // namespace
}  // namespace kz::test
