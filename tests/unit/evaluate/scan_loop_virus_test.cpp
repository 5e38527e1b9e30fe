// The antivirus verdict through the test antivirus library, for messages that carry the
// loop header: one from outside, and one the agent sealed itself.

#include "evaluate/scan.h"
#include "unit/message/installed_seal.h"
#include "unit/providers/provider_fixture.h"

namespace kz::test {
namespace {

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
