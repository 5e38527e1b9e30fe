// The loop header through the loaded library, as a hostile sender meets it: only the
// messages the agent queued itself, sealed under their own names, skip the filter.
// (The antivirus verdict on such messages is shown in-process, in scan_loop_virus_test.)

#include <gtest/gtest.h>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

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

}  // namespace
}  // namespace kz::test
