// The Bayesian classifier library taught through kzmta bayes and the agent's
// FilterCommand, and asked by a filter of the loaded agent (score over 90: held).

#include <gtest/gtest.h>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

// Its filter holds a message (quarantine, delete) whose score is over 90.
struct BayesServer : DispatchServer {
    BayesServer() : DispatchServer("bayes") {
        addRegistry(std::string("REGEDIT4\r\n\r\n[") + kAgentKey +
                    "]\r\n\"Bayesian Filtering Status\"=dword:00000001\r\n"
                    "\"Bayesian Filtering Load Mode\"=dword:00000001\r\n\r\n[" +
                    kAgentKey + "\\Bayesian]\r\n\"Database\"=\"" + dir.file("bayes.sqlite") +
                    "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel]\r\n"
                    "\"Application Directory\"=\"" + libDir() + "\"\r\n");
    }
    static constexpr const char* kAgentKey =
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kaztrel\\Kaztrel\\Agents\\MTA\\Filters\\MTAFILTER";

    void queue(const std::string& id, const std::string& sample) {
        writeFile(commandFile(id), readFile(fixture("providers/daemons/message.cmd")));
        writeFile(messageFile(id), readFile(fixture("bayes/" + sample)));
    }
    bool held(const std::string& id) const {
        return exists(dir.file("quarantine/Messages/" + id)) && !exists(messageFile(id));
    }
    bool untouched(const std::string& id) const {
        return !exists(dir.file("quarantine/Messages/" + id)) && exists(messageFile(id));
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
    server.queue("EARLY.MAI", "spam.eml");
    RunOutput out = server.filter({"EARLY.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
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

    server.queue("SPAM.MAI", "spam.eml");
    server.queue("HAM.MAI", "ham.eml");
    out = server.filter({"SPAM.MAI", "HAM.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;
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
