// SENDERAUTH, ALLMESSAGES and IPADDRESS_WHITELISTED as the envelope criteria meet them.

#include <gtest/gtest.h>

#include "evaluate/evaluators_value.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

using filters::ALLMESSAGES;
using filters::IPADDRESS_WHITELISTED;
using filters::SENDERAUTH;

class EnvelopeValueCriteria : public ProviderTest {};

TEST_F(EnvelopeValueCriteria, SenderAuthAndAllMessages) {
    filters({{"1\tSENDERAUTH\t1", "1\tALLMESSAGES\t"}, {"1\tSENDERAUTH\t0"}});
    evaluate::EvaluateSenderAuth(evaluation, 1);
    evaluate::RecordCriterionMet(evaluation, ALLMESSAGES, "All Messages");
    EXPECT_EQ(test::Met(block(1), SENDERAUTH), "1 <MF-ES>1</MF-ES>");
    EXPECT_EQ(block(2).hitCount[SENDERAUTH], 0);
    EXPECT_EQ(block(2).instanceValue[SENDERAUTH][0], "1");  // the status, met or not
    EXPECT_EQ(test::Met(block(1), ALLMESSAGES), "1 <MF-ALL>All Messages</MF-ALL>");
    EXPECT_EQ(block(2).hitCount[ALLMESSAGES], 0);
}

TEST_F(EnvelopeValueCriteria, WhitelistModesAndTheStickyState) {
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

}  // namespace
}  // namespace kz::test
