#include "message/queue_sweep.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

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

TEST_F(QueueSweepTest, OnlyOldOrphansTheAgentQueuedGoToBadMail) {
    std::string orphan(kOrphan);
    writeOld(messages() + orphan, agentMessage);
    // The MTA's own message file waiting for its command file, whatever its name.
    writeOld(messages() + "FFEEDDCCBBAA99887766554433221100.MAI",
             "Subject: mine\r\n\r\nX-KZFilter: 1\r\n");
    writeOld(messages() + "MTA.MAI", agentMessage);
    // Queued (with a command file), or too young to judge.
    writeOld(messages() + "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.MAI", agentMessage);
    writeFile(inbound() + "/AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.MAI",
              "Sender=[SMTP:a@example.org]\r\n");
    writeFile(messages() + "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB.MAI", agentMessage);

    SweepReport report = sweep();
    EXPECT_EQ(report.messagesMovedToBadMail, 1u);
    EXPECT_EQ(readFile(badMail() + "/Messages/" + orphan), agentMessage);
    EXPECT_FALSE(exists(messages() + orphan));
    EXPECT_EQ(strayNames(messages(), {"FFEEDDCCBBAA99887766554433221100.MAI", "MTA.MAI",
                                      "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA.MAI",
                                      "BBBBBBBBBBBBBBBBBBBBBBBBBBBBBBBB.MAI"}),
              std::vector<std::string>{});

    // A name already taken in bad mail is never overwritten.
    writeOld(messages() + orphan, agentMessage + "again");
    EXPECT_EQ(sweep().messagesMovedToBadMail, 0u);
    EXPECT_EQ(readFile(badMail() + "/Messages/" + orphan), agentMessage);
    EXPECT_TRUE(exists(messages() + orphan));
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

}  // namespace
}  // namespace kz::test
