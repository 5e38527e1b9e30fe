// The Bayesian classifier of two mail servers sharing one Redis started by the test, and
// kzmta bayes teaching it from mail folders.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>

#include "provider_server.h"
#include "support/redis_server.h"

namespace kz::test {
namespace {

// Queued as the MTA queues: the message file first, the command file last.
void queueMessage(const ProviderServer& server, const std::string& id, const std::string& text) {
    writeFile(server.messageFile(id), text);
    writeFile(server.commandFile(id), readFile(fixture("providers/daemons/message.cmd")));
}

TEST(BayesSharedStore, WhatOneServerLearnsTheOtherScoresAndMailFlowsWhileRedisIsDown) {
    RedisServer redis;
    ASSERT_TRUE(redis.start()) << redis.log();
    BayesServer first, second;
    for (const BayesServer* server : {&first, &second}) {
        server->setDatabase(redis.unixUrl(3));
        server->addRegistry("REGEDIT4\r\n\r\n" + ProviderServer::section("Bayesian") +
                            "\"Timeout\"=dword:000001f4\r\n");
    }
    for (const std::string category : {"spam", "ham"}) {
        std::vector<std::string> learn = {"learn", "--" + category};
        for (const std::string& file : trainingFiles(category)) learn.push_back(file);
        RunOutput out = first.kzmta(learn);
        EXPECT_EQ(out.status, 0) << out.err;
        // The other server knows them by their digests.
        out = second.kzmta(learn);
        EXPECT_NE(out.out.find("Learned 0 of 4 " + category + " messages: 4 already known"),
                  std::string::npos)
            << out.out << out.err;
    }

    // The second server's agent runs on, as a mail server does, while Redis goes and comes.
    Child mta(kzmtaRun(second.registry, {"--watch", "--threads", "1"}), second.environment());
    ASSERT_TRUE(mta.waitForLine("Watching the queue")) << mta.output();
    const std::string spam = readFile(fixture("bayes/spam.eml"));
    queueMessage(second, "SPAM1.MAI", spam);
    ASSERT_TRUE(mta.waitForLine("SPAM1.MAI: removed from the queue")) << mta.output();
    EXPECT_TRUE(exists(second.dir.file("quarantine/Messages/SPAM1.MAI")));
    queueMessage(second, "HAM1.MAI", readFile(fixture("bayes/ham.eml")));
    ASSERT_TRUE(mta.waitForLine("HAM1.MAI: handed on")) << mta.output();
    EXPECT_EQ(second.eventCount(), 0) << readFile(second.events);

    redis.stop();
    for (const char* id : {"SPAM2.MAI", "SPAM3.MAI"}) {
        queueMessage(second, id, spam);
        ASSERT_TRUE(mta.waitForLine(std::string(id) + ": handed on", 20)) << mta.output();
    }
    EXPECT_EQ(second.eventCount(), 1) << readFile(second.events);
    EXPECT_NE(readFile(second.events).find(redis.socket), std::string::npos);

    ASSERT_TRUE(redis.start()) << redis.log();
    queueMessage(second, "SPAM4.MAI", spam);
    ASSERT_TRUE(mta.waitForLine("SPAM4.MAI: removed from the queue")) << mta.output();
    mta.signal(SIGTERM);
    EXPECT_EQ(mta.wait(), 0);
}

TEST(BayesSharedStore, LearnsFromMaildirsMboxFilesAndFoldersWithASummary) {
    BayesServer server;
    TempDir mail;
    // A Maildir: cur and new are read, tmp (deliveries in progress) is not.
    const std::vector<std::string> spam = trainingFiles("spam"), ham = trainingFiles("ham");
    writeFile(mail.file("Junk/cur/1.host:2,S"), readFile(spam[0]));
    writeFile(mail.file("Junk/new/2.host"), readFile(spam[1]));
    writeFile(mail.file("Junk/tmp/3.host"), readFile(spam[2]));
    writeFile(mail.file("Junk/.hidden"), readFile(spam[3]));
    // An mbox of two messages, one with a quoted "From " line; then a message too large.
    writeFile(mail.file("spam.mbox"), "From a@example.org Mon Dec  7 10:00:00 2026\n" +
                                          readFile(spam[2]) + "\n>From the desk of\n\n" +
                                          "From b@example.org Mon Dec  7 10:01:00 2026\n" +
                                          readFile(spam[3]) + "\n");
    writeFile(mail.file("big/huge.eml"),
              "Subject: big\r\n\r\n" + std::string(200 * 1024, 'x') + "\r\n");

    std::vector<std::string> learn = {"learn",           "--spam",
                                      "--max-size",      "100000",
                                      mail.file("Junk"), mail.file("spam.mbox"),
                                      mail.file("big"),  mail.file("missing")};
    RunOutput out = server.kzmta(learn);
    EXPECT_EQ(out.status, 1);  // one path was missing
    EXPECT_NE(
        out.out.find("Learned 4 of 6 spam messages: 0 already known, 1 skipped, 1 unreadable"),
        std::string::npos)
        << out.out << out.err;
    EXPECT_NE(out.err.find("missing: cannot read"), std::string::npos) << out.err;
    learn.pop_back();
    out = server.kzmta(learn);
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Learned 0 of 5 spam messages: 4 already known, 1 skipped"),
              std::string::npos)
        << out.out;

    out = server.kzmta({"learn", "--ham", "--progress", ham[0], ham[1], ham[2], ham[3]});
    EXPECT_NE(out.out.find("Learned 4 of 4 ham messages"), std::string::npos) << out.out;
    out = server.kzmta({"forget", "--spam", mail.file("spam.mbox")});
    EXPECT_NE(out.out.find("Forgot 2 of 2 spam messages"), std::string::npos) << out.out;
    EXPECT_NE(server.kzmta({"stats"}).out.find("Spam messages: 2\nHam messages: 4\n"),
              std::string::npos);
    EXPECT_EQ(server.kzmta({"learn", "--spam", "--max-size", "0x10", mail.file("big")}).status, 2);
}

}  // namespace
}  // namespace kz::test
