#include "evaluate/evaluators_providers.h"

#include <gtest/gtest.h>

#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

using filters::HASVIRUS;
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

}  // namespace
}  // namespace kz::test
