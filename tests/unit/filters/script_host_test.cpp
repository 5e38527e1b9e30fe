// The script host's messages and result buffer, the export, and the generated script.
#include "filters/script_host.h"

#include <gtest/gtest.h>

#include <cstring>

#include "config/registry_keys.h"
#include "filters/criteria_script_text.h"
#include "platform/exports.h"
#include "support/case_file.h"
#include "unit/config/config_fixture.h"

KZ_EXPORT int KZ_STDCALL ExecuteVBScript(const char* scriptText, const char* functionName,
                                         char* resultBuffer, int resultBufferSize,
                                         int wantResultData);

namespace kz::test {
namespace {

// Each case with the script log on standard output ("Debug Status" 2).
class ScriptHostTest : public ConfigTest {
  protected:
    void SetUp() override {
        ConfigTest::SetUp();
        setDword(config::reg::kAgentKey, config::kDebugStatus, 2);
        config::ReadAttachSettings();
    }

    long run(const std::string& script, const std::string& function = "F", bool want = false,
             std::size_t size = 1024) {
        testing::internal::CaptureStdout();
        long result = filters::RunScript(script, function, data, TextLimit{size}, want);
        log = testing::internal::GetCapturedStdout();
        return result;
    }
    bool logged(std::string_view text) const { return log.find(text) != std::string::npos; }

    std::string data = "untouched", log;
};

TEST_F(ScriptHostTest, RunsGiveTheirResultDataAndLog) {
    const auto runs = ReadCaseFile("script/host_runs.txt");
    EXPECT_EQ(runs.size(), 19u);
    for (const CaseLine& c : runs) {
        SCOPED_TRACE(testing::Message() << "line " << c.number);
        ASSERT_GE(c.fields.size(), 6u);
        data = "untouched";
        EXPECT_EQ(
            run(Unescape(c.fields[0]), c.fields[1], c.fields[2] == "1", std::stoul(c.fields[3])),
            std::stol(c.fields[4]));
        EXPECT_EQ(data, c.fields[5]);
        for (std::size_t i = 6; i < c.fields.size(); ++i)
            EXPECT_EQ(logged(Unescape(c.fields[i].substr(1))), c.fields[i][0] == '+') << log;
    }
}

TEST_F(ScriptHostTest, ExportKeepsTheCallersBufferAndTheLogFollowsDebugStatus) {
    char buffer[16];
    std::strcpy(buffer, "keep");
    const char* script =
        "Function KZ_GetResultData()\nKZ_GetResultData = \"a much longer result\"\nEnd Function\n"
        "Function F\nF = 0\nEnd Function\n";
    testing::internal::CaptureStdout();
    EXPECT_EQ(ExecuteVBScript(script, "F", buffer, sizeof buffer, 0), 0);
    EXPECT_STREQ(buffer, "keep");
    EXPECT_EQ(ExecuteVBScript(script, "F", buffer, sizeof buffer, 1), 0);
    EXPECT_STREQ(buffer, "a much longer r");
    EXPECT_EQ(ExecuteVBScript(nullptr, nullptr, nullptr, 0, 1), 0);
    testing::internal::GetCapturedStdout();
    // The script log follows "Debug Status".
    setDword(config::reg::kAgentKey, config::kDebugStatus, 0);
    config::ReadAttachSettings();
    EXPECT_EQ(run("Function F\nF = 1\nEnd Function"), 1);
    EXPECT_EQ(log, "");
}

TEST_F(ScriptHostTest, GeneratedScriptSubstitutesPlaceholdersAndTokensInOrder) {
    filters::FilterDefinition filter;
    filter.scriptText = readFile(fixture("script/placeholders.KZS"));
    filter.slots[filters::SIZE].instanceCount = 1;
    filter.slots[filters::SUBJECT].instanceCount = 3;  // the third is spelled [KZ_Subject]
    filters::CriteriaResults results;
    results.blocks.resize(1);
    results.block(1).instanceValue[filters::SUBJECT][0] = "1";
    MessageEnvelope envelope;
    envelope.sender = "[SMTP:a@b.test]";
    envelope.account = "Main";
    envelope.clientIp = "10.0.0.1";
    envelope.recipients = "[SMTP:c@d.test];[SMTP:e@f.test]";
    envelope.subject = "A \"quoted\" subject";
    testing::internal::CaptureStdout();
    std::string generated = filters::GenerateCriteriaScript(1, filter, results, &envelope, true);
    std::string trace = testing::internal::GetCapturedStdout();
    EXPECT_EQ(generated, readFile(fixture("script/placeholders_generated.txt")));
    EXPECT_EQ(trace,
              "Checking Filter[1]Criteria[0]::(1)->49\nSetting True value 1\n"
              "Checking Filter[1]Criteria[0]::()->0\nSetting False\n"
              "Checking Filter[1]Criteria[0]::()->0\nSetting False\n"
              "Checking Filter[1]Criteria[7]::()->0\nSetting False\n");
}

TEST_F(ScriptHostTest, CriteriaScriptCheckGivesTheErrorAtItsLineInTheScriptFile) {
    filters::FilterDefinition filter;
    filter.scriptText = readFile(fixture("script/syntax_error.KZS"));
    filter.slots[filters::SUBJECT].instanceCount = 1;
    std::optional<filters::ScriptSyntaxError> error = filters::CheckCriteriaScript(filter);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->line, 3);
    EXPECT_EQ(error->code, int32_t(0x800A03F4u));
    EXPECT_EQ(error->description, "Expected 'If'");
    filter.scriptText = readFile(fixture("script/policy.KZS"));
    filter.slots[filters::BODY].instanceCount = 1;
    EXPECT_FALSE(filters::CheckCriteriaScript(filter));
}

TEST_F(ScriptHostTest, TokensBeyondTheResultRowAreUnmet) {
    filters::FilterDefinition filter;
    for (int i = 0; i < filters::kMaxInstances + 2; ++i) filter.scriptText += "[KZ_BODY] ";
    filter.slots[filters::BODY].instanceCount = filters::kMaxInstances + 2;
    filters::CriteriaResults results;
    results.blocks.resize(1);
    for (std::string& value : results.block(1).instanceValue[filters::BODY]) value = "1";
    testing::internal::CaptureStdout();
    std::string generated = filters::GenerateCriteriaScript(1, filter, results, nullptr, true);
    testing::internal::GetCapturedStdout();
    std::string expected;
    for (int i = 0; i < filters::kMaxInstances; ++i) expected += "1 ";
    EXPECT_NE(generated.find("\tFilterResult=0\r\n" + expected + "0 0 \r\n"), std::string::npos)
        << generated;
}

}  // namespace
}  // namespace kz::test
