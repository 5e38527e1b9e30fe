// The milter's parts without the protocol around them: its spool, the hand-off of new
// messages, the decision read from what the agent left in the queue, and the bounds on
// agent runs.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "agent_library.h"
#include "milter_agent_runs.h"
#include "milter_decision.h"
#include "milter_handoff.h"
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

TEST(MilterSpool, TransactionIsQueuedWithTheWholeEnvelopeAndCrLfLines) {
    TempDir dir;
    MilterSpool spool(dir.file("queue"), "SMTP");
    auto queued = spool.write(Transaction());
    ASSERT_TRUE(queued);
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
    EXPECT_NE(commands.find("\r\nAuthenticationStatus=1\r\n"), std::string::npos);

    spool.remove(*queued);
    EXPECT_TRUE(fs::is_empty(dir.file("queue/SMTP/Inbound/Messages")));
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
    tool::NewMessageHandOff handOff{spool, submitter, seals};

    // Records its arguments and standard input; fails while the file "refuse" exists.
    HandOff() {
        writeFile(sendmail, "#!/bin/sh\nprintf '%s|' \"$@\" >> " + dir.file("args") + "\ncat >> " +
                                dir.file("input") + "\n[ ! -e " + dir.file("refuse") + " ]\n");
        chmod(sendmail.c_str(), 0755);
    }
    void queue(const std::string& folder, const std::string& name, bool withCommand = true) {
        writeFile(dir.file("queue/SMTP/" + folder + "/Messages/" + name),
                  "X-KZFilter: 1\r\nX-KZFilter-Seal: 00ff\r\nSubject: n\r\n\r\nbody\r\n");
        if (withCommand)
            writeFile(dir.file("queue/SMTP/" + folder + "/" + name),
                      "Recipients=[SMTP:ann@example.org];[SMTP:bob@example.com]\r\n"
                      "Sender=[SMTP:postmaster@example.com]\r\n");
    }
};

TEST(MilterHandOff, NewMessagesGoToSendmailWithTheirEnvelopeAndLeaveTheSpool) {
    HandOff h;
    h.queue("Inbound", "NOTIFY.MAI");
    h.queue("Outgoing", "FORWARD.MAI");
    h.queue("Inbound", "HALF.MAI", false);  // its command file is not written yet
    h.queue("Inbound", MilterSpool::newTransactionId());
    auto count = h.handOff.handOnQueued();
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
    // The seal of what was handed on lets it through once when it comes back.
    EXPECT_TRUE(h.seals.takeBack("00ff"));
    EXPECT_TRUE(h.seals.takeBack("00ff"));
    EXPECT_FALSE(h.seals.takeBack("00ff"));
}

TEST(MilterHandOff, AMessageTheMtaRefusedStaysForTheNextPass) {
    HandOff h;
    h.queue("Inbound", "NOTIFY.MAI");
    writeFile(h.dir.file("refuse"), "");
    EXPECT_EQ(h.handOff.handOnQueued().failed, 1u);
    EXPECT_TRUE(exists(h.dir.file("queue/SMTP/Inbound/NOTIFY.MAI")));
    fs::remove(h.dir.file("refuse"));
    EXPECT_EQ(h.handOff.handOnQueued().handedOn, 1u);
    EXPECT_FALSE(exists(h.dir.file("queue/SMTP/Inbound/NOTIFY.MAI")));
    // SMTP data is dot-stuffed and ended.
    EXPECT_EQ(tool::DotStuffed(".top\r\nmid\r\n..two\r\nlast"),
              "..top\r\nmid\r\n...two\r\nlast\r\n.\r\n");
}

// What the agent left in the queue, read back as the changes the milter asks of the MTA.
using tool::CompareQueuedMessage;
using tool::HeaderChange;
using Kind = tool::HeaderChange::Kind;

const std::string kWritten = readFile(fixture("milter/written.eml"));
const std::string kWrittenCommands = readFile(fixture("milter/written.cmd"));

TEST(MilterDecision, ActionsOnTheQueuedMessageBecomeHeaderBodyAndRecipientChanges) {
    auto decision = CompareQueuedMessage(kWritten, kWrittenCommands,
                                         readFile(fixture("milter/after_actions.eml")),
                                         readFile(fixture("milter/after_actions.cmd")));
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
    ASSERT_TRUE(decision.body);
    EXPECT_EQ(*decision.body,
              "You are a winner.\r\n.hidden line\r\n\r\n-- \r\nScanned for spam.\r\n");
    // The command file was rewritten with five keys and a recipient in another case.
    EXPECT_EQ(decision.addedRecipients, std::vector<std::string>{"archive@example.com"});
    EXPECT_TRUE(decision.removedRecipients.empty());
}

TEST(MilterDecision, UntouchedMessageAsksForNothingAndAMissingFileMeansGone) {
    auto same = CompareQueuedMessage(kWritten, kWrittenCommands, kWritten, kWrittenCommands);
    EXPECT_FALSE(same.gone);
    EXPECT_TRUE(same.headers.empty());
    EXPECT_FALSE(same.body);
    EXPECT_TRUE(same.addedRecipients.empty());

    EXPECT_TRUE(
        CompareQueuedMessage(kWritten, kWrittenCommands, std::nullopt, kWrittenCommands).gone);
    EXPECT_TRUE(CompareQueuedMessage(kWritten, kWrittenCommands, kWritten, std::nullopt).gone);
}

TEST(MilterDecision, RepeatedHeadersLoseTheHighestFirstAndDroppedRecipientsAreRemoved) {
    std::string before = "A: 1\r\nb: 2\r\nA: 3\r\nA: 4\r\nFrom x\r\n";  // no blank line
    std::string after = "a: 1\r\nB: 2\r\n\r\n";
    auto decision = CompareQueuedMessage(before, "", after, "");
    std::vector<HeaderChange> expected = {{Kind::Delete, "A", 3, ""}, {Kind::Delete, "A", 2, ""}};
    EXPECT_EQ(decision.headers, expected);
    EXPECT_FALSE(decision.body);  // both bodies empty
    // Recipients the agent dropped are removed.
    decision = CompareQueuedMessage(
        kWritten, "Recipients=[SMTP:a@x];[SMTP:b@x];[SMTP:a@x]\r\n", kWritten,
        "Recipients=[SMTP:a@x]\r\nRecipients=[SMTP:b@x];[SMTP:c@x]\r\n");  // the last line counts
    EXPECT_EQ(decision.addedRecipients, std::vector<std::string>{"c@x"});
    EXPECT_EQ(decision.removedRecipients, (std::vector<std::string>{"a@x", "a@x"}));
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
    EXPECT_EQ(runs.run("SLOW.MAI", "SMTP", [&] { ++cleaned; }), AgentRuns::Result::TimedOut);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1900ms);
    EXPECT_EQ(cleaned, 0);
    // The one slot is still held by the slow run: the next waits at most its bound.
    EXPECT_EQ(runs.run("QUICK.MAI", "SMTP", [&] { ++cleaned; }), AgentRuns::Result::Busy);
    ASSERT_TRUE(runs.waitIdle(5s));
    EXPECT_EQ(cleaned, 1);
    EXPECT_EQ(runs.run("QUICK.MAI", "SMTP", [&] { ++cleaned; }), AgentRuns::Result::Done);
    EXPECT_EQ(cleaned, 1);
}

}  // namespace
}  // namespace kz::test
