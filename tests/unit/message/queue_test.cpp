// The queue operations on a connector queue of the test's own: copying to the holding
// folders, deleting, queueing new messages, rewriting headers and sweeping leftovers.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "message/envelope.h"
#include "message/message_header.h"
#include "message/message_header_text.h"
#include "message/queue_new_message.h"
#include "message/queue_operations.h"
#include "message/queue_sweep.h"
#include "support/case_file.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

TEST_F(QueueTest, DeleteRemovesBothFilesAndNeedsTheCommandFile) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(DeleteQueuedMessage(context()));
    EXPECT_FALSE(exists(commandFile()));
    EXPECT_FALSE(exists(messageFile()));

    writeFile(messageFile(), queueFixture("plain.eml"));
    EXPECT_FALSE(DeleteQueuedMessage(context()));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));

    // The Messages folder spelled in capitals is found.
    ASSERT_TRUE(platform::renameFile(inbound() + "/Messages", inbound() + "/MESSAGES"));
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    EXPECT_TRUE(DeleteQueuedMessage(context()));
    EXPECT_EQ(platform::listDirectory(inbound() + "/MESSAGES"), std::vector<std::string>{});
}

using CopyOperation = bool (*)(const MessageContext&);

struct HoldingCase {
    const char* name;
    CopyOperation copy;
    std::string (QueueTest::*directory)() const;
};

class QueueCopyTest : public QueueTest, public testing::WithParamInterface<HoldingCase> {
  protected:
    std::string holding() const { return (this->*GetParam().directory)(); }
    bool copy() const { return GetParam().copy(context()); }
};

TEST_P(QueueCopyTest, CopiesBothFilesAndCreatesTheMessagesFolder) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(copy());
    EXPECT_EQ(readFile(holding() + "/" + std::string(kMessageId)), queueFixture("all_keys.cmd"));
    EXPECT_EQ(readFile(holding() + "/Messages/" + std::string(kMessageId)),
              queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(holding(), {"Messages", std::string(kMessageId)}),
              std::vector<std::string>{});
    EXPECT_EQ(strayNames(holding() + "/Messages", {std::string(kMessageId)}),
              std::vector<std::string>{});
    // The queued files stay.
    EXPECT_TRUE(exists(commandFile()));
    EXPECT_TRUE(exists(messageFile()));
}

TEST_P(QueueCopyTest, ReplacesEarlierCopiesInAnExistingCapitalisedFolder) {
    queueMessage("all_keys.cmd", "plain.eml");
    writeFile(holding() + "/" + std::string(kMessageId), "old");
    writeFile(holding() + "/MESSAGES/" + std::string(kMessageId), "old");
    EXPECT_TRUE(copy());
    EXPECT_EQ(readFile(holding() + "/MESSAGES/" + std::string(kMessageId)),
              queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(holding(), {"MESSAGES", std::string(kMessageId)}),
              std::vector<std::string>{});
}

TEST_P(QueueCopyTest, FailsWhenAQueuedFileIsMissing) {
    writeFile(messageFile(), queueFixture("plain.eml"));
    EXPECT_FALSE(copy());
    EXPECT_EQ(platform::listDirectory(holding()), std::vector<std::string>{});

    platform::removeFile(messageFile());
    writeFile(commandFile(), queueFixture("all_keys.cmd"));
    EXPECT_FALSE(copy());
    EXPECT_FALSE(exists(holding() + "/Messages/" + std::string(kMessageId)));
}

INSTANTIATE_TEST_SUITE_P(
    Holding, QueueCopyTest,
    testing::Values(HoldingCase{"Quarantine", &CopyToQuarantine, &QueueTest::quarantine},
                    HoldingCase{"BadMail", &CopyToBadMail, &QueueTest::badMail}),
    [](const testing::TestParamInfo<HoldingCase>& info) { return info.param.name; });

// Names that reach outside the queue touch nothing, whichever operation is asked: not the
// files one level up, not the queued message, not the holding directories.
TEST_F(QueueTest, UnsafeNamesAreRefusedByEveryOperation) {
    writeFile(root() + "/SMTP/outside.MAI", queueFixture("all_keys.cmd"));
    writeFile(root() + "/SMTP/Messages/outside.MAI", "keep");
    queueMessage("all_keys.cmd", "plain.eml");
    const std::vector<std::pair<std::string, std::string>> names = {
        {"SMTP", "../outside.MAI"},
        {"SMTP", "..\\outside.MAI"},
        {"SMTP", "Messages/../../outside.MAI"},
        {"SMTP", ".."},
        {"SMTP", "."},
        {"SMTP", "a/b.MAI"},
        {"SMTP", "x..MAI"},
        {"SMTP", ""},
        {"..", "Inbound"},
        {"SMTP/Inbound", "."},
        {"", "x.MAI"},
        {"../SMTP", "x.MAI"},
        // A separator alone would let the "command file" be the message file.
        {"SMTP", "Messages/" + std::string(kMessageId)}};
    for (const auto& [connector, id] : names) {
        SCOPED_TRACE(connector + " " + id);
        MessageContext m = context();
        m.connectorName = connector;
        m.messageId = id;
        EXPECT_FALSE(ReadEnvelope(m));
        EXPECT_EQ(m.sender, "");
        m.sender = "[SMTP:x@example.com]";
        EXPECT_FALSE(WriteEnvelope(m));
        EXPECT_FALSE(DeleteQueuedMessage(m));
        EXPECT_FALSE(CopyToQuarantine(m));
        EXPECT_FALSE(CopyToBadMail(m));
        EXPECT_FALSE(SetMessageHeader(m, "X-A", "1", HeaderMode::InsertAtTop));
        EXPECT_FALSE(QueueNewMessage(root(), connector, id, "text", MessageEnvelope{}));
    }
    EXPECT_EQ(readFile(root() + "/SMTP/outside.MAI"), queueFixture("all_keys.cmd"));
    EXPECT_EQ(readFile(root() + "/SMTP/Messages/outside.MAI"), "keep");
    EXPECT_EQ(readFile(commandFile()), queueFixture("all_keys.cmd"));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(root() + "/SMTP", {"Inbound", "Messages", "outside.MAI"}),
              std::vector<std::string>{});
    EXPECT_EQ(strayNames(root(), {"SMTP"}), std::vector<std::string>{});
    EXPECT_EQ(platform::listDirectory(quarantine()), std::vector<std::string>{});
    EXPECT_EQ(platform::listDirectory(badMail()), std::vector<std::string>{});
}

class QueueNewMessageTest : public QueueTest {
  protected:
    static constexpr std::string_view kText = "X-KZFilter: 1\r\nSubject: copy\r\n\r\nBody\r\n";

    static MessageEnvelope envelope() {
        MessageEnvelope e;
        e.recipients = "[SMTP:anna@example.com]";
        e.sender = "[SMTP:postmaster@example.com]";
        e.status = "Undelivered";
        e.clientIp = "192.0.2.1";
        return e;
    }
    bool queue(const QueueStepHook& hook = {}) {
        return QueueNewMessage(root(), kConnector, kMessageId, kText, envelope(), hook);
    }
};

TEST_F(QueueNewMessageTest, WritesTheMessageAndExactlyFiveEnvelopeLines) {
    ASSERT_TRUE(std::filesystem::remove(inbound() + "/Messages"));  // created when missing
    EXPECT_TRUE(queue());
    EXPECT_EQ(readFile(messageFile()), kText);
    EXPECT_EQ(readFile(commandFile()),
              "Recipients=[SMTP:anna@example.com]\r\nServer=\r\n"
              "Sender=[SMTP:postmaster@example.com]\r\nTimeAcquired=0\r\nStatus=Undelivered\r\n");
    EXPECT_EQ(strayNames(inbound(), {"Messages", std::string(kMessageId)}),
              std::vector<std::string>{});
}

// The command file, which the MTA acts on, appears only after the whole message file;
// a failure at any step leaves neither file behind.
TEST_F(QueueNewMessageTest, TheCommandFileNeverAppearsBeforeTheWholeMessage) {
    for (int failAt = 0; failAt < 4; ++failAt) {
        int step = 0;
        auto hook = [&](std::string_view) {
            // Steps 0 and 1 write the message file, steps 2 and 3 the command file.
            EXPECT_FALSE(exists(commandFile()));
            if (step >= 2) {
                EXPECT_EQ(readFile(messageFile()), kText);
            }
            return step++ != failAt;
        };
        EXPECT_FALSE(queue(hook)) << failAt;
        EXPECT_FALSE(exists(commandFile())) << failAt;
        EXPECT_FALSE(exists(messageFile())) << failAt;
        EXPECT_EQ(strayNames(inbound(), {"Messages"}), std::vector<std::string>{});
        EXPECT_EQ(platform::listDirectory(inbound() + "/Messages"), std::vector<std::string>{});
    }
}

using namespace std::chrono_literals;

constexpr std::string_view kOrphan = "00112233445566778899AABBCCDDEEFF.MAI";

class QueueSweepTest : public QueueTest {
  protected:
    std::string messages() const { return inbound() + "/Messages/"; }
    std::string mailFolder() const { return dir_.file("mail/Main/MAILROOT/joe/Junk/Old"); }

    // Writes the file and sets its modification time two hours back.
    static void writeOld(const std::string& path, std::string_view content) {
        writeFile(path, content);
        timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 7200, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
    }

    SweepReport sweep(std::chrono::seconds age = std::chrono::hours(1)) {
        return SweepQueueLeftovers({root(), badMail(), quarantine(), dir_.file("mail")}, age);
    }

    const std::string agentMessage = "From: a@example.org\r\nX-KZFilter: 1\r\n\r\nForwarded\r\n";
};

TEST_F(QueueSweepTest, OldTemporariesGoWhereverTheAgentWritesFiles) {
    const std::string old[] = {
        inbound() + "/.ID.MAI.1f-2-3.tmp",
        messages() + ".ID.MAI.1f-3-3.tmp",
        root() + "/LS/Outgoing/Messages/.A.MAI.1-1-1.tmp",
        badMail() + "/Messages/.ID.MAI.4-1-1.tmp",
        quarantine() + "/.ID.MAI.4-2-1.tmp",
        mailFolder() + "/.ID.MAI.5-1-1.tmp",
    };
    for (const std::string& path : old) writeOld(path, "partial");
    writeFile(messages() + ".NEW.MAI.1-1-1.tmp", "being written");
    writeOld(messages() + ".hidden", "not a temporary");
    EXPECT_EQ(sweep().temporariesRemoved, std::size(old));
    for (const std::string& path : old) EXPECT_FALSE(exists(path)) << path;
    EXPECT_TRUE(exists(messages() + ".NEW.MAI.1-1-1.tmp"));
    EXPECT_TRUE(exists(messages() + ".hidden"));
}

// New messages whose command file was never written, and messages whose DELETE was cut
// short after the command file went: old enough, they go to bad mail, for its owner alone.
TEST_F(QueueSweepTest, OldOrphansGoToBadMailWhoeverQueuedThem) {
    const std::string orphans[] = {std::string(kOrphan), "MTA.MAI"};
    writeOld(messages() + orphans[0], agentMessage);
    writeOld(messages() + orphans[1], "Subject: deleted, but only half\r\n\r\nBody\r\n");
    ASSERT_EQ(::chmod((messages() + orphans[1]).c_str(), 0644), 0);
    // Queued (with a command file), or too young to judge.
    writeOld(messages() + "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.MAI", agentMessage);
    writeFile(inbound() + "/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.MAI",
              "Sender=[SMTP:a@example.org]\r\n");
    writeFile(messages() + "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB.MAI", agentMessage);

    ASSERT_FALSE(exists(badMail() + "/Messages"));
    SweepReport report = sweep();
    EXPECT_EQ(report.messagesMovedToBadMail, 2u);
    EXPECT_EQ(readFile(badMail() + "/Messages/" + orphans[0]), agentMessage);
    EXPECT_EQ(std::filesystem::status(badMail() + "/Messages").permissions(),
              std::filesystem::perms::owner_all);
    for (const std::string& orphan : orphans) {
        EXPECT_FALSE(exists(messages() + orphan));
        EXPECT_EQ(std::filesystem::status(badMail() + "/Messages/" + orphan).permissions(),
                  std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    }
    EXPECT_EQ(strayNames(messages(), {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.MAI",
                                      "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB.MAI"}),
              std::vector<std::string>{});

    // A name already taken in bad mail is never overwritten.
    writeOld(messages() + orphans[0], agentMessage + "again");
    EXPECT_EQ(sweep().messagesMovedToBadMail, 0u);
    EXPECT_EQ(readFile(badMail() + "/Messages/" + orphans[0]), agentMessage);
    EXPECT_TRUE(exists(messages() + orphans[0]));
}

TEST_F(QueueSweepTest, AWorkingCopyGoesOnlyWhenItsMessageIsStillThere) {
    queueMessage("all_keys.cmd", "plain.eml");
    writeOld(messages() + "_" + std::string(kMessageId), "rewritten");
    writeOld(messages() + "_GONE.MAI", "rewritten, message gone");
    SweepReport report = sweep(0s);
    EXPECT_EQ(report.workingCopiesRemoved, 1u);
    EXPECT_EQ(report.messagesMovedToBadMail, 1u);
    EXPECT_EQ(readFile(badMail() + "/Messages/_GONE.MAI"), "rewritten, message gone");
    EXPECT_EQ(strayNames(messages(), {std::string(kMessageId)}), std::vector<std::string>{});
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
}

constexpr std::string_view kLine = "X-Spam-Score: 7.5\r\n";

std::string replaceOrAdd(std::string_view message) {
    return SetHeaderInText(message, "X-Spam-Score", kLine, HeaderMode::ReplaceOrAdd);
}

TEST(SetHeaderInText, ReplaceOrAddOrInsertAtTop) {
    const auto cases = ReadCaseFile("queue/header_cases.txt");
    EXPECT_EQ(cases.size(), 8u);
    for (const CaseLine& c : cases) {
        const std::string& in = c.fields[0];
        const std::string message = in[0] == '@' ? queueFixture(in.substr(1)) : Unescape(in);
        EXPECT_EQ(replaceOrAdd(message), Unescape(c.fields[1])) << "line " << c.number;
    }
    // A header line longer than any read piece: the part after 4,095 bytes is not mistaken
    // for the blank line that ends the headers.
    std::string longLine = "References: " + std::string(4083, 'r') + "\r\n";
    EXPECT_EQ(replaceOrAdd(longLine + "\r\nbody"), longLine + std::string(kLine) + "\r\nbody");
    EXPECT_EQ(SetHeaderInText("", "Authentication-Results", "Authentication-Results: a\r\n",
                              HeaderMode::InsertAtTop),
              "Authentication-Results: a\r\n");
    EXPECT_EQ(
        SetHeaderInText(queueFixture("plain.eml"), "X-Spam-Score", kLine, HeaderMode::InsertAtTop),
        std::string(kLine) + queueFixture("plain.eml"));
}

TEST(FormatHeaderLine, LineBreaksBecomeBlanksAndLongLinesKeepTheirLineEnd) {
    EXPECT_EQ(FormatHeaderLine("X-Note", "a\r\nBcc: victim@example.com"),
              "X-Note: a  Bcc: victim@example.com\r\n");
    EXPECT_EQ(FormatHeaderLine("X-\nNote", "v\r"), "X- Note: v \r\n");
    std::string line = FormatHeaderLine("X-Long", std::string(5000, 'v'));
    EXPECT_EQ(line.size(), 4095u);
    EXPECT_TRUE(line.ends_with("v\r\n"));
}

class MessageHeaderTest : public QueueTest {};

TEST_F(MessageHeaderTest, RewritesTheQueuedMessageFileInAMessagesFolderOfEitherSpelling) {
    queueMessage("all_keys.cmd", "plain.eml");
    EXPECT_TRUE(SetMessageHeader(context(), "X-KZFilter", "1", HeaderMode::ReplaceOrAdd));
    std::string text = readFile(messageFile());
    EXPECT_NE(text.find("Subject: Quarterly figures\r\nX-KZFilter: 1\r\n\r\nBody"),
              std::string::npos);
    EXPECT_EQ(strayNames(inbound() + "/Messages", {std::string(kMessageId)}),
              std::vector<std::string>{});
    // The same in a Messages folder spelled in capitals.
    ASSERT_TRUE(platform::renameFile(inbound() + "/Messages", inbound() + "/MESSAGES"));
    std::string file = inbound() + "/MESSAGES/" + std::string(kMessageId);
    writeFile(file, queueFixture("empty.eml"));
    EXPECT_TRUE(
        SetMessageHeader(context(), "Authentication-Results", "pass", HeaderMode::InsertAtTop));
    EXPECT_EQ(readFile(file), "Authentication-Results: pass\r\n");
    EXPECT_EQ(strayNames(inbound(), {"MESSAGES", std::string(kMessageId)}),
              std::vector<std::string>{});
}

// Watched before every step the message file is the old one; a failing step leaves the
// old file and no working copy, and the operation reports the failure.
TEST_F(MessageHeaderTest, AFailureAtAnyStepLeavesTheOriginalWhole) {
    const std::string before = queueFixture("plain.eml");
    for (std::string_view failing : {kStepWriteTemporary, kStepReplaceTarget}) {
        writeFile(messageFile(), before);
        std::vector<std::string> seen;
        auto hook = [&](std::string_view step) {
            seen.push_back(readFile(messageFile()));
            return step != failing;
        };
        EXPECT_FALSE(
            SetMessageHeader(context(), "X-Spam-Score", "7.5", HeaderMode::ReplaceOrAdd, hook))
            << failing;
        for (const std::string& content : seen) EXPECT_EQ(content, before);
        EXPECT_EQ(readFile(messageFile()), before);
        EXPECT_EQ(strayNames(inbound() + "/Messages", {std::string(kMessageId)}),
                  std::vector<std::string>{});
    }
}

TEST_F(MessageHeaderTest, AMissingMessageOrAWorkingCopyThatCannotBeWrittenFails) {
    EXPECT_FALSE(SetMessageHeader(context(), "X-A", "1", HeaderMode::InsertAtTop));
    queueMessage("all_keys.cmd", "plain.eml");
    writeFile(inbound() + "/Messages/_" + std::string(kMessageId) + "/blocker", "x");
    EXPECT_FALSE(SetMessageHeader(context(), "X-Spam-Score", "7.5", HeaderMode::InsertAtTop));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
}

}  // namespace
}  // namespace kz::test
