// The evaluators that ask a provider library or read the envelope, through stand-in
// provider libraries: verdicts, what they leave in the message and the counters.

#include "evaluate/evaluators_providers.h"

#include <gtest/gtest.h>

#include "evaluate/dkim_verdict.h"
#include "evaluate/evaluators_value.h"
#include "evaluate/scan.h"
#include "support/case_file.h"
#include "unit/message/installed_seal.h"
#include "unit/platform/scoped_env.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

using filters::ALLMESSAGES;
using filters::DKIM;
using filters::HASVIRUS;
using filters::IPADDRESS_WHITELISTED;
using filters::SENDERAUTH;
using filters::SPAM_PROBABILITY;
using filters::SPAMASSASSIN;

class ProviderVerdicts : public ProviderTest {
  protected:
    void bayesian(const std::string& reply) {
        install("kzstub_provider", "KZFLTMBF");
        answer("KZFLTMBF", reply);
        setDword(reg::kAgentKey, reg::kBayesianFilteringStatus, 1);
        setDword(reg::kAgentKey, reg::kBayesianFilteringLoadMode, 1);
        attach();
    }
    int executeCalls(const std::string& name) {
        int count = 0;
        for (const std::string& call : calls(name)) count += call.find("Execute|") == 3;
        return count;
    }
};

TEST_F(ProviderVerdicts, SpamProbabilityAboveButNotAtTheThreshold) {
    setDword(reg::kProductKey, reg::kUpdateStatistics, 1);
    bayesian("<SP>97.5</SP>");
    filters(
        {{"1\tSPAM_PROBABILITY\t90"}, {"1\tSPAM_PROBABILITY\t97.5"}, {"0\tSPAM_PROBABILITY\t1"}});
    MessageContext m = message();
    evaluate(m, evaluate::EvaluateSpamProbability);

    EXPECT_EQ(block(1).hitCount[SPAM_PROBABILITY], 2);  // the whole data and the instance
    EXPECT_EQ(block(1).instanceValue[SPAM_PROBABILITY][0], "97.500000");
    EXPECT_EQ(block(1).matchText[SPAM_PROBABILITY], "<BFV>97.500000</BFV><BFT>90.000000</BFT>");
    EXPECT_EQ(block(2).hitCount[SPAM_PROBABILITY], 0);
    EXPECT_EQ(block(3).hitCount[SPAM_PROBABILITY], 0);
    EXPECT_EQ(executeCalls("KZFLTMBF"), 1);
    const std::string request = calls("KZFLTMBF").back();
    EXPECT_EQ(request, "KZ_Execute|<FILENAME>" + messageFile() + "</FILENAME><CMDFILE>" +
                           commandFile() + "</CMDFILE>|0");
    EXPECT_EQ(counter(reg::kBayesianTotalScans), 1u);
    EXPECT_EQ(counter(reg::kBayesianDetections), 1u);
}

TEST_F(ProviderVerdicts, NoScoreMeetsNoThresholdAndNoFilterAsksNothing) {
    setDword(reg::kProductKey, reg::kUpdateStatistics, 1);
    for (const char* reply : {"<RC>0</RC><SP>99</SP>", "no score", "<SP></SP>"}) {
        SCOPED_TRACE(reply);
        std::filesystem::remove_all(appDir());
        std::filesystem::create_directories(appDir());
        providers::ReleaseScanProviders();
        bayesian(reply);
        filters({{"1\tSPAM_PROBABILITY\t-5"}});
        MessageContext m = message();
        evaluate(m, evaluate::EvaluateSpamProbability);
        EXPECT_EQ(test::Met(block(1), SPAM_PROBABILITY), "0 ");
    }
    EXPECT_EQ(counter(reg::kBayesianTotalScans), 1u);  // the last attach restarted it
    EXPECT_EQ(counter(reg::kBayesianDetections), 0u);

    filters({{"1\tSIZE\t5"}});
    MessageContext m = message();
    evaluate(m, evaluate::EvaluateSpamProbability);
    EXPECT_EQ(executeCalls("KZFLTMBF"), 1);
    EXPECT_EQ(counter(reg::kBayesianTotalScans), 1u);
}

TEST_F(ProviderVerdicts, SpamAssassinPassValues) {
    install("kzstub_provider", "KZFLTMSA");
    setDword(reg::kAgentKey, reg::kSpamAssassinEnabled, 1);
    attach();
    struct Case {
        const char* reply;
        long status;
    };
    for (const Case& c :
         {Case{"<PASS>0</PASS>", 1}, Case{"<PASS>1</PASS>", 0}, Case{"<PASS></PASS>", 0},
          Case{"<SCORE>9</SCORE>", 0}, Case{"<PASS>7</PASS>", 1}}) {
        SCOPED_TRACE(c.reply);
        answer("KZFLTMSA", c.reply);
        filters({{"1\tSPAMASSASSIN\t1"}, {"1\tSPAMASSASSIN\t0"}});
        MessageContext m = message();
        evaluate(m, evaluate::EvaluateSpamAssassin);
        const int met = c.status == 1 ? 1 : 2;
        EXPECT_EQ(block(met).hitCount[SPAMASSASSIN], 2);
        EXPECT_EQ(block(3 - met).hitCount[SPAMASSASSIN], 0);
        EXPECT_EQ(block(1).matchText[SPAMASSASSIN],
                  "<PASS>" + std::to_string(c.status) + "</PASS>");
    }
    EXPECT_EQ(calls("KZFLTMSA").back().substr(calls("KZFLTMSA").back().rfind('|')), "|1024");
}

TEST_F(ProviderVerdicts, SpamAssassinBypassesAuthenticatedSenders) {
    install("kzstub_provider", "KZFLTMSA");
    answer("KZFLTMSA", "<PASS>0</PASS>");
    setDword(reg::kAgentKey, reg::kSpamAssassinEnabled, 1);
    setDword(reg::kAgentKey, reg::kSpamAssassinBypassAuthenticated, 1);
    attach();
    filters({{"1\tSPAMASSASSIN\t1"}});
    MessageContext m = message();
    m.authenticationStatus = 1;
    evaluate(m, evaluate::EvaluateSpamAssassin);
    EXPECT_EQ(block(1).hitCount[SPAMASSASSIN], 0);
    EXPECT_EQ(executeCalls("KZFLTMSA"), 0);
}

TEST_F(ProviderVerdicts, AVirusFoundByTwoFiltersCountsTwice) {
    setDword(reg::kProductKey, reg::kUpdateStatistics, 1);
    setDword(reg::kAgentKey, reg::kAntivirusStatus, 1);
    install("kzstub_antivirus", "KZAVGEN");
    answer("KZAVGEN", "1\nEICAR-Test-Signature found");
    EXPECT_EQ(attach(), "Antivirus Loading Library..\n");
    filters({{"1\tHASVIRUS\tanything"}, {"1\tHASVIRUS\t"}});
    MessageContext m = message();
    evaluate(m, evaluate::EvaluateVirus);
    for (int position : {1, 2}) {
        EXPECT_EQ(test::Met(block(position), HASVIRUS), "1 EICAR-Test-Signature found");
        EXPECT_EQ(block(position).instanceValue[HASVIRUS][0], "1");
    }
    EXPECT_EQ(calls("KZAVGEN"), std::vector<std::string>{"ProviderExecute|MTAFILTER|" +
                                                         std::string(kMessageId) + "|SMTP"});
    EXPECT_EQ(counter(reg::kAntivirusTotalScans), 1u);
    EXPECT_EQ(counter(reg::kAntivirusDetected), 2u);
}

TEST_F(ProviderVerdicts, CountersStayUntouchedWithoutStatisticsOrWhenOnlyExplaining) {
    bayesian("<SP>99</SP>");
    filters({{"1\tSPAM_PROBABILITY\t90"}});
    MessageContext m = message();
    evaluate(m, evaluate::EvaluateSpamProbability);
    EXPECT_EQ(log::CounterValue(log::Counter::BayesianTotalScans), 0u);

    setDword(reg::kProductKey, reg::kUpdateStatistics, 1);
    providers::ReleaseScanProviders();
    attach();
    m.readOnly = true;
    evaluate(m, evaluate::EvaluateSpamProbability);
    EXPECT_EQ(log::CounterValue(log::Counter::BayesianTotalScans), 0u);
    EXPECT_EQ(block(1).hitCount[SPAM_PROBABILITY], 4);  // both messages met it
}

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

TEST_F(DkimCheck, NoCheckIsIndeterminateWithCode100AndTheSenderSplitsAtItsAt) {
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
    // The sender's parts, with blanks and line breaks dropped.
    auto parts = evaluate::DkimSenderOf("[SMTP: \r\nbob@mail.example.com]");
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->localPart, "bob");
    EXPECT_EQ(parts->domain, "mail.example.com");
    parts = evaluate::DkimSenderOf("SMTP:bob@example.com");
    EXPECT_EQ(parts->domain, "example.com");
    EXPECT_FALSE(evaluate::DkimSenderOf("bob@example.com"));
}

// SENDERAUTH, ALLMESSAGES and IPADDRESS_WHITELISTED as the envelope criteria meet them.
TEST_F(ProviderVerdicts, SenderAuthAndAllMessages) {
    filters({{"1\tSENDERAUTH\t1", "1\tALLMESSAGES\t"}, {"1\tSENDERAUTH\t0"}});
    evaluate::EvaluateSenderAuth(evaluation, 1);
    evaluate::RecordCriterionMet(evaluation, ALLMESSAGES, "All Messages");
    EXPECT_EQ(test::Met(block(1), SENDERAUTH), "1 <MF-ES>1</MF-ES>");
    EXPECT_EQ(block(2).hitCount[SENDERAUTH], 0);
    EXPECT_EQ(block(2).instanceValue[SENDERAUTH][0], "1");  // the status, met or not
    EXPECT_EQ(test::Met(block(1), ALLMESSAGES), "1 <MF-ALL>All Messages</MF-ALL>");
    EXPECT_EQ(block(2).hitCount[ALLMESSAGES], 0);
}

TEST_F(ProviderVerdicts, WhitelistModesAndTheStickyState) {
    setDword(reg::kSmtpKey, reg::kWhitelistOutboundIPAddresses, 1);
    config::ReadAttachDirectories();
    // 10.0.0.1 is whitelisted for the account "example.com" only; 10.0.0.2 system-wide.
    writeFile(configDir() + "/Postoffices/example.com/Connections/Whitelist/10.0.0.1.tab", "");
    writeFile(configDir() + "/Connections/Whitelist/10.0.0.2.tab", "");
    setString(reg::kWhiteListKey, "192.168.*.*", "1");
    filters({{"1\tIPADDRESS_WHITELISTED\t1"},
             {"1\tIPADDRESS_WHITELISTED\t2"},
             {"1\tIPADDRESS_WHITELISTED\t3,x"}});
    struct Case {
        const char* client;
        const char* account;
        int hits[3];
    };
    for (const Case& c :
         {Case{"10.0.0.1", "example.com", {1, 1, 2}}, Case{"10.0.0.1", "", {0, 0, 0}},
          Case{"10.0.0.2", "other.org", {1, 1, 2}},  // found once, then for all
          Case{"192.168.4.4", "", {1, 1, 2}}, Case{"", "example.com", {0, 0, 0}}}) {
        SCOPED_TRACE(std::string(c.client) + " " + c.account);
        filters::AllocateResults(table, results);
        testing::internal::CaptureStdout();
        evaluate::EvaluateWhitelist(evaluation, c.account, c.client);
        testing::internal::GetCapturedStdout();
        for (int position = 1; position <= 3; ++position)
            EXPECT_EQ(block(position).hitCount[IPADDRESS_WHITELISTED], c.hits[position - 1]);
    }
}

// The antivirus verdict for messages that carry the loop header: one from outside, and
// one the agent sealed itself.
class LoopVirusTest : public ProviderTest {
  protected:
    int scan(const std::string& name, bool mime) {
        filters::ReleaseResults(results);
        filters::AllocateResults(table, results);
        context_ = message();
        context_.messageId = name;
        testing::internal::CaptureStdout();
        evaluate::Evaluation evaluation(table, results, &context_);
        int result = mime ? kz::evaluate::ScanMessageMime(evaluation)
                          : kz::evaluate::ScanMessagePlain(evaluation);
        testing::internal::GetCapturedStdout();
        return result;
    }

    MessageContext context_;
};

TEST_F(LoopVirusTest, TheVirusVerdictHoldsWhateverLoopHeaderTheMessageCarries) {
    InstalledSeal installed;
    setDword(reg::kAgentKey, reg::kAntivirusStatus, 1);
    install("kzstub_antivirus", "KZAVGEN");
    attach();
    filters({{"1\tHASVIRUS\t"}, {"1\tSUBJECT\tprize"}});
    for (const char* name : {"looped.eml", "sealed.eml"})
        writeFile(inbound() + "/Messages/" + name, readFile(fixture("scan/messages/") + name));

    for (bool mime : {false, true}) {
        SCOPED_TRACE(mime ? "mime" : "plain");
        answer("KZAVGEN", "1\nEICAR-Test-Signature found");
        // A loop header from outside: every filter still sees the message.
        EXPECT_EQ(scan("looped.eml", mime), 1);
        EXPECT_EQ(block(1).hitCount[filters::HASVIRUS], 1);
        EXPECT_EQ(block(2).hitCount[filters::SUBJECT], 1);
        // The agent's own message: the virus verdict alone.
        EXPECT_EQ(scan("sealed.eml", mime), 1);
        EXPECT_TRUE(context_.ownMessage);
        EXPECT_EQ(block(1).hitCount[filters::HASVIRUS], 1);
        EXPECT_EQ(block(1).matchText[filters::HASVIRUS], "EICAR-Test-Signature found");
        EXPECT_EQ(block(2).hitCount[filters::SUBJECT], 0);
        answer("KZAVGEN", "0\n");
        EXPECT_EQ(scan("sealed.eml", mime), 0);
    }
}

}  // namespace
}  // namespace kz::test
