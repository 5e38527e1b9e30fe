// The Bayesian classifier library taught through kzmta bayes and the agent's
// FilterCommand, and asked by a filter of the loaded agent (score over 90: held).

#include <gtest/gtest.h>

#include "e2e/provider_server.h"

namespace kz::test {
namespace {

// Its filter holds a message (quarantine, delete) whose score is over 90.
struct BayesServer : ProviderServer {
    BayesServer()
        : ProviderServer(
              "\"Bayesian Filtering Status\"=dword:00000001\r\n"
              "\"Bayesian Filtering Load Mode\"=dword:00000001\r\n",
              "", "bayes") {
        addRegistry("REGEDIT4\r\n\r\n" + section("Bayesian") + "\"Database\"=\"" +
                    dir.file("bayes.sqlite") + "\"\r\n");
    }
    RunOutput kzmta(std::vector<std::string> args) const {
        args.insert(args.begin(), {binPath("kzmta"), "bayes", "--registry", registry});
        return run(args);
    }
};

std::vector<std::string> trainingFiles(const std::string& category) {
    std::vector<std::string> files;
    for (int i = 1; i <= 4; ++i)
        files.push_back(fixture("bayes/train/" + category + "/" + std::to_string(i) + ".eml"));
    return files;
}

TEST(BayesProvider, TaughtByKzmtaAndFilterCommandItHoldsSpamAndLetsHamThrough) {
    BayesServer server;
    // Nothing learned yet: no score, the message goes on.
    const std::string spam = readFile(fixture("bayes/spam.eml"));
    RunOutput out = server.queueAndFilter({{"EARLY.MAI", spam}});
    EXPECT_NE(out.out.find("Bayesian Filter - Loading Complete.\n"), std::string::npos) << out.out;
    EXPECT_TRUE(server.untouched("EARLY.MAI"));

    std::vector<std::string> learn = {"learn", "--spam"};
    for (const std::string& file : trainingFiles("spam")) learn.push_back(file);
    out = server.kzmta(learn);
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Learned 4 of 4 spam messages"), std::string::npos) << out.out;
    // A message learned twice counts once; a file that cannot be read fails alone.
    std::vector<std::string> again = learn;
    again.insert(again.begin() + 3, server.dir.file("missing.eml"));
    out = server.kzmta(again);
    EXPECT_EQ(out.status, 1);
    EXPECT_NE(out.out.find("Learned 0 of 5 spam messages"), std::string::npos) << out.out;
    EXPECT_NE(out.out.find("1.eml: ALREADY LEARNED"), std::string::npos) << out.out;
    EXPECT_NE(out.err.find("missing.eml: cannot read"), std::string::npos) << out.err;

    // The ham through the MTA's command entry; malformed commands change nothing.
    std::vector<std::string> commands;
    for (const std::string& file : trainingFiles("ham"))
        commands.insert(commands.end(), {"FilterCommand", "LEARN HAM " + file});
    for (const char* bad : {"LEARN JUNK x", "FORGET", "STATS please", "LEARN HAM /no/such/file"})
        commands.insert(commands.end(), {"FilterCommand", bad});
    out = server.host(commands);
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("FilterCommand=1\nFilterCommand=1\nFilterCommand=1\nFilterCommand=1\n"
                           "FilterCommand=0\nFilterCommand=0\nFilterCommand=0\nFilterCommand=0\n"),
              std::string::npos)
        << out.out;
    out = server.kzmta({"stats"});
    EXPECT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Spam messages: 4\nHam messages: 4\n"), std::string::npos) << out.out;

    out = server.queueAndFilter(
        {{"SPAM.MAI", spam}, {"HAM.MAI", readFile(fixture("bayes/ham.eml"))}});
    EXPECT_TRUE(server.held("SPAM.MAI")) << out.out;
    EXPECT_TRUE(server.untouched("HAM.MAI")) << out.out;

    // Forgotten spam: no score again.
    learn[0] = "forget";
    out = server.kzmta(learn);
    EXPECT_NE(out.out.find("Forgot 4 of 4 spam messages"), std::string::npos) << out.out;
    EXPECT_NE(server.kzmta({"stats"}).out.find("Spam messages: 0\n"), std::string::npos);
    EXPECT_EQ(server.kzmta({"learn", "--spam"}).status, 2);
}

}  // namespace
}  // namespace kz::test
