// The milter's parts without the protocol around them: its spool, the hand-off of new
// messages, the decision read from what the agent left in the queue, and the bounds on
// agent runs.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "agent_library.h"
#include "milter_abandoned.h"
#include "milter_agent_runs.h"
#include "milter_decision.h"
#include "milter_handoff.h"
#include "milter_readback.h"
#include "milter_spool.h"
#include "support/test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using tool::MilterSpool;

tool::MilterTransaction Transaction() {
    tool::MilterTransaction t;
    t.clientAddress = "192.0.2.7";
    t.server = "mail.example.com";
    t.sender = "ann@example.org\r\nRecipients=[SMTP:evil@example.net]";  // forged line
    t.recipients = {"bob@Example.COM", "carol@example.net"};
    t.login = "ann";
    t.headers = {{"From", "ann@example.org"},
                 {"Subject", "Claim\n your prize"},  // folded, LF alone
                 {"X-Odd", "first\nsecond line"}};   // a fold without a blank
    t.body = "line one\nline two\r\n";
    return t;
}

TEST(MilterSpool, TransactionIsQueuedWithTheWholeEnvelopeAndCrLfLinesForItsUserAlone) {
    TempDir dir;
    mode_t umaskBefore = umask(0);  // whatever the umask, mail in transit stays private
    MilterSpool spool(dir.file("queue"), "SMTP");
    tool::MilterTransaction transaction = Transaction();
    transaction.queueId = "4XyZ12";
    auto queued = spool.write(transaction);
    umask(umaskBefore);
    ASSERT_TRUE(queued);
    for (std::string path : {"queue/SMTP", "queue/SMTP/Inbound", "queue/SMTP/Inbound/Messages"})
        EXPECT_EQ(fs::status(dir.file(path)).permissions(), fs::perms::owner_all) << path;
    for (std::string path : {queued->messageFile, queued->commandFile})
        EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(MilterSpool::isTransactionId(queued->id));
    EXPECT_EQ(readFile(dir.file("queue/SMTP/Inbound/Messages/" + queued->id)),
              "From: ann@example.org\r\nSubject: Claim\r\n your prize\r\n"
              "X-Odd: first\r\n\tsecond line\r\n\r\nline one\r\nline two\r\n");
    std::string commands = readFile(dir.file("queue/SMTP/Inbound/" + queued->id));
    EXPECT_EQ(commands.substr(0, commands.find("TimeAcquired=")),
              "Recipients=[SMTP:bob@Example.COM];[SMTP:carol@example.net]\r\n"
              "Sender=[SMTP:ann@example.org  Recipients=[SMTP:evil@example.net]]\r\n"
              "Server=mail.example.com\r\nClientIP=192.0.2.7\r\nAccount=Example.COM\r\n"
              "User=ann\r\nStatus=Undelivered\r\nCommandType=SMTP\r\n"
              "Subject=Claim  your prize\r\n");
    EXPECT_NE(commands.find("\r\nAuthenticationStatus=1\r\nQueueID=4XyZ12\r\n"), std::string::npos);
    EXPECT_TRUE(spool.holds(queued->id));
    spool.remove(*queued);
    EXPECT_FALSE(spool.holds(queued->id));
    EXPECT_TRUE(fs::is_empty(dir.file("queue/SMTP/Inbound/Messages")));

    // The body as it arrives: a CR LF split between two pieces is one line end, and the
    // digest is the one of the body read back.
    tool::SpoolWriter writer(spool, transaction);
    ASSERT_TRUE(writer.appendBody("one\r"));
    ASSERT_TRUE(writer.appendBody("\ntwo\n\rthree"));
    auto pieces = writer.finish("RETURNED.MAI");
    ASSERT_TRUE(pieces);
    EXPECT_EQ(pieces->messageFile, dir.file("queue/SMTP/Inbound/Messages/RETURNED.MAI"));
    std::string text = readFile(pieces->messageFile);
    EXPECT_EQ(text.substr(tool::BodyStartOf(text)), "one\r\ntwo\r\n\r\nthree");
    EXPECT_EQ(pieces->bodyDigest, tool::DigestOf("one\r\ntwo\r\n\r\nthree"));
    // A second transaction under a name the spool holds is refused, not mixed in.
    tool::SpoolWriter twin(spool, transaction);
    EXPECT_FALSE(twin.finish("RETURNED.MAI"));
}

TEST(MilterSpool, LeftoversOfACrashGoButMessagesOfActionsStay) {
    TempDir dir;
    MilterSpool spool(dir.file("queue"), "SMTP");
    std::string own = MilterSpool::newTransactionId();
    std::string inbound = dir.file("queue/SMTP/Inbound/");
    for (std::string name : {own, std::string("ABCDEF.MAI")}) {
        writeFile(inbound + name, "Recipients=[SMTP:a@x]\r\n");
        writeFile(inbound + "Messages/" + name, "Subject: x\r\n\r\n");
    }
    writeFile(inbound + "Messages/_" + own, "working copy");
    writeFile(inbound + "Messages/.half.tmp", "temporary");
    EXPECT_EQ(spool.clearLeftovers(), 4u);
    EXPECT_TRUE(exists(inbound + "ABCDEF.MAI"));
    EXPECT_TRUE(exists(inbound + "Messages/ABCDEF.MAI"));
    EXPECT_FALSE(exists(inbound + own));
}

struct HandOff {
    TempDir dir;
    MilterSpool spool{dir.file("queue"), "SMTP"};
    std::string sendmail = dir.file("sendmail");
    tool::MessageSubmitter submitter = tool::MessageSubmitter::viaSendmail(sendmail);
    tool::HandedOnSeals seals;
    tool::HandOffPolicy policy;
    std::unique_ptr<tool::NewMessageHandOff> handOff;

    // Records its arguments and standard input; "temporary failure" while the file
    // "refuse" exists.
    explicit HandOff(std::chrono::seconds firstRetry = std::chrono::seconds(0)) {
        writeFile(sendmail, "#!/bin/sh\nprintf '%s|' \"$@\" >> " + dir.file("args") + "\ncat >> " +
                                dir.file("input") + "\n[ -e " + dir.file("refuse") +
                                " ] && exit 75\nexit 0\n");
        chmod(sendmail.c_str(), 0755);
        policy.remembersSeals = true;
        policy.badMail = dir.file("badmail");
        policy.firstRetry = firstRetry;
        handOff = std::make_unique<tool::NewMessageHandOff>(spool, submitter, seals, policy);
    }
    void queue(const std::string& folder, const std::string& name, bool withCommand = true,
               bool agents = true) {
        writeFile(dir.file("queue/SMTP/" + folder + "/Messages/" + name),
                  std::string(agents ? "X-KZFilter: 1\r\nX-KZFilter-Seal: 00ff\r\n" : "") +
                      "Subject: n\r\n\r\nbody\r\n");
        if (withCommand)
            writeFile(dir.file("queue/SMTP/" + folder + "/" + name),
                      "Recipients=[SMTP:ann@example.org];[SMTP:bob@example.com]\r\n"
                      "Sender=[SMTP:postmaster@example.com]\r\n");
    }
};

TEST(MilterHandOff, TheAgentsNewMessagesGoToSendmailWithTheirEnvelopeAndLeaveTheSpool) {
    HandOff h;
    h.queue("Inbound", "NOTIFY.MAI");
    h.queue("Outgoing", "FORWARD.MAI");
    h.queue("Inbound", "HALF.MAI", false);  // its command file is not written yet
    h.queue("Inbound", MilterSpool::newTransactionId());
    h.queue("Outgoing", "ORIGINAL.MAI", true, false);  // the MTA's own mail, not the agent's
    auto count = h.handOff->handOnQueued();
    EXPECT_EQ(count.handedOn, 2u);
    EXPECT_EQ(count.failed, 0u);
    std::string args = "-G|-i|-f|postmaster@example.com|--|ann@example.org|bob@example.com|";
    EXPECT_EQ(readFile(h.dir.file("args")), args + args);
    EXPECT_EQ(readFile(h.dir.file("input")),
              "X-KZFilter: 1\nX-KZFilter-Seal: 00ff\nSubject: n\n\nbody\n"
              "X-KZFilter: 1\nX-KZFilter-Seal: 00ff\nSubject: n\n\nbody\n");
    EXPECT_FALSE(exists(h.dir.file("queue/SMTP/Inbound/NOTIFY.MAI")));
    EXPECT_FALSE(exists(h.dir.file("queue/SMTP/Outgoing/Messages/FORWARD.MAI")));
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Inbound/Messages/HALF.MAI")));
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Outgoing/ORIGINAL.MAI")));
    EXPECT_TRUE(fs::is_empty(h.dir.file("queue/SMTP/Sending/Messages")));
    // A seal comes back once, with the body it was handed on with, as the name it had.
    std::string body = tool::DigestOf("body\r\n");
    EXPECT_FALSE(h.seals.takeBack("00ff", tool::DigestOf("another body\r\n")));
    EXPECT_EQ(h.seals.takeBack("00ff", body), "NOTIFY.MAI");
    EXPECT_EQ(h.seals.takeBack("00ff", body), "FORWARD.MAI");
    EXPECT_FALSE(h.seals.takeBack("00ff", body));
}

TEST(MilterHandOff, ARefusedMessageIsOfferedLessOftenAndGoesToBadMailAfterTheExpiry) {
    HandOff h;
    h.queue("Inbound", "NOTIFY.MAI");
    writeFile(h.dir.file("refuse"), "");
    EXPECT_EQ(h.handOff->handOnQueued().failed, 1u);
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Inbound/NOTIFY.MAI")));
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Inbound/Messages/NOTIFY.MAI")));
    EXPECT_FALSE(h.seals.takeBack("00ff", tool::DigestOf("body\r\n")));  // not on its way
    fs::remove(h.dir.file("refuse"));
    EXPECT_EQ(h.handOff->handOnQueued().handedOn, 1u);
    EXPECT_FALSE(exists(h.dir.file("queue/SMTP/Inbound/NOTIFY.MAI")));

    // Not offered again before its retry is due.
    HandOff slow(std::chrono::hours(1));
    slow.queue("Inbound", "NOTIFY.MAI");
    writeFile(slow.dir.file("refuse"), "");
    EXPECT_EQ(slow.handOff->handOnQueued().failed, 1u);
    EXPECT_EQ(slow.handOff->handOnQueued().failed, 0u);
    EXPECT_EQ(readFile(slow.dir.file("args")).find("-G|", 1), std::string::npos);  // once

    // Refused for longer than the expiry: into bad mail, with an event in words.
    setenv("KZ_EVENTLOG", h.dir.file("events.log").c_str(), 1);
    h.queue("Inbound", "OLD.MAI");
    fs::last_write_time(h.dir.file("queue/SMTP/Inbound/OLD.MAI"),
                        fs::file_time_type::clock::now() - std::chrono::hours(25));
    writeFile(h.dir.file("refuse"), "");
    EXPECT_EQ(h.handOff->handOnQueued().toBadMail, 1u);
    unsetenv("KZ_EVENTLOG");
    EXPECT_TRUE(exists(h.dir.file("badmail/OLD.MAI")));
    EXPECT_TRUE(exists(h.dir.file("badmail/Messages/OLD.MAI")));
    EXPECT_FALSE(exists(h.dir.file("queue/SMTP/Inbound/Messages/OLD.MAI")));
    EXPECT_NE(readFile(h.dir.file("events.log")).find("exited with status 75 (temporary failure)"),
              std::string::npos);
    EXPECT_EQ(tool::DescribeWaitStatus(SIGKILL), "was killed by signal 9 (SIGKILL)");

    // What a crash left on its way to the MTA goes back into the queue.
    h.queue("Inbound", "CRASH.MAI");
    ASSERT_TRUE(tool::MoveQueued(h.dir.file("queue/SMTP/Inbound/CRASH.MAI"),
                                 h.dir.file("queue/SMTP/Inbound/Messages/CRASH.MAI"),
                                 h.dir.file("queue/SMTP/Sending/CRASH.MAI"),
                                 h.dir.file("queue/SMTP/Sending/Messages/CRASH.MAI"),
                                 tool::Into::Aside));
    h.handOff->restoreSending();
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Inbound/CRASH.MAI")));
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Inbound/Messages/CRASH.MAI")));
}

// What the agent left in the queue, read back as the changes the milter asks of the MTA.
using tool::CompareQueuedMessage;
using tool::HeaderChange;
using tool::QueuedAfterRun;
using Kind = tool::HeaderChange::Kind;

QueuedAfterRun ReadBack(const std::string& message, const std::string& commands) {
    return tool::ReadQueuedMessage(message, commands, 1 << 20);
}
QueuedAfterRun Fixture(const std::string& name) {
    return ReadBack(fixture("milter/" + name + ".eml"), fixture("milter/" + name + ".cmd"));
}
const QueuedAfterRun kWritten = Fixture("written");

TEST(MilterDecision, ActionsOnTheQueuedMessageBecomeHeaderBodyAndRecipientChanges) {
    QueuedAfterRun after = Fixture("after_actions");
    auto decision =
        CompareQueuedMessage(kWritten.headers, kWritten.bodyDigest, kWritten.commands, after);
    EXPECT_FALSE(decision.gone);
    // Changes name the original occurrence; the header inserted at the top goes to
    // position 0, the one added before the blank line to the end.
    std::vector<HeaderChange> expected = {
        {Kind::Change, "Received", 2,
         "from laptop (unknown [198.51.100.3])\n\tby relay.example.net with SMTP"},
        {Kind::Change, "Subject", 1, "[SPAM] Claim your prize\n today"},
        {Kind::Delete, "X-Mailer", 1, ""},
        {Kind::Insert, "Authentication-Results", 0, "mail.example.com; dkim=none"},
        {Kind::Add, "X-Spam-Reason", 0, "Spam words ann@example.org"},
    };
    EXPECT_EQ(decision.headers, expected);
    EXPECT_TRUE(decision.bodyChanged);
    EXPECT_EQ(readFile(fixture("milter/after_actions.eml")).substr(after.bodyOffset),
              "You are a winner.\r\n.hidden line\r\n\r\n-- \r\nScanned for spam.\r\n");
    // The command file was rewritten with five keys and a recipient in another case.
    EXPECT_EQ(decision.addedRecipients, std::vector<std::string>{"archive@example.com"});
    EXPECT_TRUE(decision.removedRecipients.empty());
}

TEST(MilterDecision, UntouchedMessageAsksForNothingAndAMissingFileMeansGone) {
    auto same =
        CompareQueuedMessage(kWritten.headers, kWritten.bodyDigest, kWritten.commands, kWritten);
    EXPECT_FALSE(same.gone);
    EXPECT_TRUE(same.headers.empty());
    EXPECT_FALSE(same.bodyChanged);
    EXPECT_TRUE(same.addedRecipients.empty());

    TempDir dir;
    writeFile(dir.file("M.MAI"), readFile(fixture("milter/written.eml")));
    writeFile(dir.file("C.MAI"), readFile(fixture("milter/written.cmd")));
    EXPECT_EQ(ReadBack(dir.file("M.MAI"), dir.file("NONE")).state, QueuedAfterRun::State::Gone);
    EXPECT_EQ(ReadBack(dir.file("NONE"), dir.file("C.MAI")).state, QueuedAfterRun::State::Gone);
    QueuedAfterRun gone;
    gone.state = QueuedAfterRun::State::Gone;
    EXPECT_TRUE(
        CompareQueuedMessage(kWritten.headers, kWritten.bodyDigest, kWritten.commands, gone).gone);
}

// Only an absent file means the agent removed the message: any other failure to read it
// back is not a deletion.
TEST(MilterDecision, AReadErrorIsNeverTakenForADeletion) {
    TempDir dir;
    writeFile(dir.file("C.MAI"), readFile(fixture("milter/written.cmd")));
    fs::create_directories(dir.file("DIR.MAI"));  // read() fails with EISDIR
    QueuedAfterRun unreadable = ReadBack(dir.file("DIR.MAI"), dir.file("C.MAI"));
    EXPECT_EQ(unreadable.state, QueuedAfterRun::State::Unreadable);
    EXPECT_NE(unreadable.why.find("Is a directory"), std::string::npos) << unreadable.why;

    // Out of descriptors (what a busy milter meets first).
    writeFile(dir.file("M.MAI"), readFile(fixture("milter/written.eml")));
    rlimit before{};
    getrlimit(RLIMIT_NOFILE, &before);
    std::vector<int> taken;
    for (int fd; (fd = open("/dev/null", O_RDONLY)) >= 0;) taken.push_back(fd);
    QueuedAfterRun starved = ReadBack(dir.file("M.MAI"), dir.file("C.MAI"));
    for (int fd : taken) close(fd);
    EXPECT_EQ(starved.state, QueuedAfterRun::State::Unreadable);
    EXPECT_NE(starved.why.find("Too many open files"), std::string::npos) << starved.why;

    // A header block without end, over the bound: not read into memory whole.
    writeFile(dir.file("BIG.MAI"), std::string(3 << 20, 'x'));
    EXPECT_EQ(ReadBack(dir.file("BIG.MAI"), dir.file("C.MAI")).state,
              QueuedAfterRun::State::Unreadable);
    // The blank line split between two reads still ends the header block.
    std::string header = "X-Long: " + std::string(65536 - 8 - 3, 'a') + "\r\n\r";
    writeFile(dir.file("SPLIT.MAI"), header + "\nbody\r\n");
    QueuedAfterRun split = ReadBack(dir.file("SPLIT.MAI"), dir.file("C.MAI"));
    ASSERT_EQ(split.state, QueuedAfterRun::State::Queued);
    EXPECT_EQ(split.bodyOffset, header.size() + 1);
    EXPECT_EQ(split.bodyDigest, tool::DigestOf("body\r\n"));
}

TEST(MilterDecision, RepeatedHeadersLoseTheHighestFirstAndDroppedRecipientsAreRemoved) {
    QueuedAfterRun after;
    after.state = QueuedAfterRun::State::Queued;
    after.headers = "a: 1\r\nB: 2\r\n\r\n";
    std::string digest = tool::DigestOf("");
    after.bodyDigest = digest;
    auto decision =
        CompareQueuedMessage("A: 1\r\nb: 2\r\nA: 3\r\nA: 4\r\nFrom x\r\n", digest, "", after);
    std::vector<HeaderChange> expected = {{Kind::Delete, "A", 3, ""}, {Kind::Delete, "A", 2, ""}};
    EXPECT_EQ(decision.headers, expected);
    EXPECT_FALSE(decision.bodyChanged);
    // Recipients the agent dropped are removed.
    after.commands = "Recipients=[SMTP:a@x]\r\nRecipients=[SMTP:b@x];[SMTP:c@x]\r\n";
    decision = CompareQueuedMessage(after.headers, digest,
                                    "Recipients=[SMTP:a@x];[SMTP:b@x];[SMTP:a@x]\r\n", after);
    EXPECT_EQ(decision.addedRecipients, std::vector<std::string>{"c@x"});  // the last line counts
    EXPECT_EQ(decision.removedRecipients, (std::vector<std::string>{"a@x", "a@x"}));
}

// A run the milter stopped waiting for answers the retry of its transaction, once.
TEST(MilterAbandonedRuns, ARetryWaitsForTheAbandonedRunAndThenGetsItsDecisionOnce) {
    TempDir dir;
    tool::AbandonedRuns runs(dir.file("abandoned"));
    tool::MilterTransaction t = Transaction();
    t.headers.emplace_back("Received", "from a by mx id 1");
    std::string fingerprint = tool::TransactionFingerprint(t, "digest");
    t.headers.back().second = "from a by mx id 2";  // the MTA's own line differs on a retry
    EXPECT_EQ(tool::TransactionFingerprint(t, "digest"), fingerprint);
    EXPECT_NE(tool::TransactionFingerprint(t, "another digest"), fingerprint);

    EXPECT_FALSE(runs.take(fingerprint));
    runs.started(fingerprint);
    EXPECT_TRUE(runs.take(fingerprint)->running);
    EXPECT_TRUE(runs.take(fingerprint)->running);
    writeFile(dir.file("after.eml"), "Subject: x\r\n\r\nnew body\r\n");
    tool::MilterDecision decision;
    decision.bodyChanged = true;
    decision.addedRecipients = {"archive@example.com"};
    runs.finished(fingerprint, decision, dir.file("after.eml"), 14);
    fs::remove(dir.file("after.eml"));  // the run's message leaves the queue
    auto outcome = runs.take(fingerprint);
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(outcome->running);
    EXPECT_EQ(readFile(outcome->bodyFile), "new body\r\n");
    EXPECT_EQ(outcome->decision.addedRecipients, decision.addedRecipients);
    EXPECT_FALSE(runs.take(fingerprint));

    // A run whose queue could not be read back leaves the retry to run again.
    runs.started(fingerprint);
    runs.finished(fingerprint, std::nullopt, {}, 0);
    EXPECT_FALSE(runs.take(fingerprint));
}

// Agent runs under the milter's bounds: a transaction never waits longer than the
// timeout, and a run that overstays cleans up after itself when it ends.
using namespace std::chrono_literals;
using tool::AgentRuns;

TEST(MilterAgentRuns, ARunOverTheTimeoutAnswersAtTheBoundAndCleansUpWhenItEnds) {
    tool::AgentLibrary agent(testLibPath("kzstub_agent.so"));
    AgentRuns runs(agent, 1, 1s);
    std::atomic<int> cleaned{0};
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(runs.run("SLOW.MAI", "SMTP", [&](bool) { ++cleaned; }), AgentRuns::Result::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1900ms);
    EXPECT_EQ(cleaned, 0);
    // The one slot is still held by the slow run: the next waits at most its bound.
    EXPECT_EQ(runs.run("QUICK.MAI", "SMTP", [&](bool) { ++cleaned; }), AgentRuns::Result::Busy);
    ASSERT_TRUE(runs.waitIdle(5s));
    EXPECT_EQ(cleaned, 1);
    EXPECT_EQ(runs.run("QUICK.MAI", "SMTP", [&](bool) { ++cleaned; }), AgentRuns::Result::Done);
    EXPECT_EQ(runs.run("UNDONE.MAI", "SMTP", [&](bool) { ++cleaned; }), AgentRuns::Result::Undone);
    EXPECT_EQ(cleaned, 1);
}

}  // namespace
}  // namespace kz::test
