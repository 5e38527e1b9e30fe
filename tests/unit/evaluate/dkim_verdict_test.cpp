#include "evaluate/dkim_verdict.h"

#include <gtest/gtest.h>

#include "support/case_file.h"
#include "unit/platform/scoped_env.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

using filters::DKIM;
constexpr const char* kUntouched = "Received: from mx1.example.net by example.com\r";

class DkimCheck : public ProviderTest {
  protected:
    void SetUp() override {
        ProviderTest::SetUp();
        install("kzstub_provider", "KZDomainKeys");
        setDword(reg::kSmtpKey, reg::kDomainKeysStatus, 1);
        setDword(reg::kProductKey, reg::kUpdateStatistics, 1);
    }

    // Checks a fresh copy of the queued message with the given reply and "Debug DKIM".
    void check(const std::string& reply, uint32_t debugDkim, MessageContext m) {
        queueMessage("all_keys.cmd", "plain.eml");
        setDword(reg::kProductKey, reg::kDebugDkim, debugDkim);
        RestartedSettings restarted;
        answer("KZDomainKeys", reply);
        filters({{"1\tDKIM\tPASS"}, {"1\tDKIM\tfail"}, {"1\tDKIM\tIndeterminate"}});
        evaluate(m, evaluate::EvaluateDkim);
    }

    int metBy() const {
        int met = 0;
        for (int position = 1; position <= 3; ++position)
            if (block(position).hitCount[DKIM] > 0) met = met * 10 + position;
        return met;
    }
    std::string firstLine() const {
        const std::string text = readFile(messageFile());
        return text.substr(0, text.find('\n'));
    }
};

TEST_F(DkimCheck, ResultCodesAndWhatAFailureLeavesBehind) {
    attach();
    const auto cases = ReadCaseFile("dkim/verdict_cases.txt");
    EXPECT_EQ(cases.size(), 6u);
    for (const CaseLine& c : cases) {
        SCOPED_TRACE(c.fields[0]);
        std::filesystem::remove_all(quarantine());
        std::filesystem::create_directories(quarantine());
        check(c.fields[0], uint32_t(std::stoul(c.fields[1])), message());
        EXPECT_EQ(metBy(), std::stoi(c.fields[2]));
        EXPECT_EQ(firstLine(), c.fields[3] == "-" ? kUntouched : Unescape(c.fields[3]));
        EXPECT_EQ(std::filesystem::exists(quarantine() + "/" + std::string(kMessageId)),
                  c.fields[4] == "1");
    }
    EXPECT_EQ(block(2).instanceValue[DKIM][0], "0");
    EXPECT_EQ(block(2).matchText[DKIM], "");
    EXPECT_EQ(calls("KZDomainKeys").back(),
              "KZ_Execute|<COMMAND>VERIFY</COMMAND><FILENAME>" + messageFile() +
                  "</FILENAME><CMDFILE>" + commandFile() +
                  "</CMDFILE><DOMAIN>example.org</DOMAIN><SENDER>alice</SENDER>|1024");
    EXPECT_EQ(counter(reg::kDkimScans), 6u);
    EXPECT_EQ(counter(reg::kDkimDetections), 4u);
}

TEST_F(DkimCheck, LevelTwoReportsRequestAndReplyAsAnEvent) {
    ScopedEnv eventLog("KZ_EVENTLOG", dir_.file("events.log"));
    attach();
    check("<RESULT>-2</RESULT>", 2, message());
    const std::string events = readFile(dir_.file("events.log"));
    EXPECT_NE(events.find("<SENDER>alice</SENDER><RESULT>-2</RESULT>"), std::string::npos)
        << events;
    EXPECT_EQ(firstLine(), "Authentication-Results: dkim=fail (no DNS entry)\r");
    EXPECT_FALSE(std::filesystem::exists(quarantine() + "/" + std::string(kMessageId)));
}

TEST_F(DkimCheck, NoCheckIsIndeterminateWithCode100) {
    attach();
    MessageContext other = message();
    other.connectorName = "LOCAL";
    MessageContext authenticated = message();
    authenticated.authenticationStatus = 1;
    MessageContext noAt = message();
    noAt.sender = "[SMTP:postmaster]";
    for (const MessageContext& m : {other, authenticated, noAt}) {
        check("<RESULT>1</RESULT>", 1, m);
        EXPECT_EQ(metBy(), 3);
        EXPECT_EQ(block(3).instanceValue[DKIM][0], "100");
    }
    EXPECT_TRUE(calls("KZDomainKeys").size() == 1);  // initialise only
}

TEST_F(DkimCheck, SenderParts) {
    auto parts = evaluate::DkimSenderOf("[SMTP: \r\nbob@mail.example.com]");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->localPart, "bob");
    EXPECT_EQ(parts->domain, "mail.example.com");
    parts = evaluate::DkimSenderOf("SMTP:bob@example.com");
    EXPECT_EQ(parts->domain, "example.com");
    EXPECT_FALSE(evaluate::DkimSenderOf("bob@example.com"));
}

}  // namespace
}  // namespace kz::test
