// The action dispatcher over filters written for each case: a configuration directory of
// its own, a queued message from a spammer, and hit counts or instance values set by hand
// as the evaluators would leave them. Which filters hold and what each action line does
// are shown through the loaded library (tests/e2e/dispatch_*); here only
// what a run there cannot set up.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "actions/action_dispatcher.h"
#include "filters/criterion_type.h"
#include "support/case_file.h"
#include "unit/message/queue_fixture.h"

namespace kz::test {
namespace {

using filters::CriterionType;

class DispatcherTest : public QueueTest {
  protected:
    void SetUp() override {
        QueueTest::SetUp();
        setString(config::kProductKey, config::kConfigurationDirectory, dir_.file("config"));
        config::ReadRunDirectories();
        queueMessage("all_keys.cmd", "plain.eml");
        ctx = context();
        ctx.sender = "[SMTP:spammer@example.org]";
        ctx.clientIp = "192.0.2.7";
        ctx.subject = "Win now";
    }

    // Writes FILTER.TAB and the named files below FILTERS, then loads them afresh.
    void configure(const std::string& filterTable,
                   const std::vector<std::pair<std::string, std::string>>& files) {
        writeFile(dir_.file("config/FILTERS/FILTER.TAB"), filterTable);
        for (const auto& [name, text] : files) writeFile(dir_.file("config/FILTERS/" + name), text);
        table = {};
        results = {};
        filters::LoadOptions options;
        options.configurationDirectory = dir_.file("config");
        testing::internal::CaptureStdout();
        filters::LoadFilterTable(table, options);
        testing::internal::GetCapturedStdout();
        filters::AllocateResults(table, results);
    }
    // One filter "Spam" whose criteria are the named fixture script, quarantining.
    void configureScript(const std::string& script) {
        configure("Spam\t1\tSPAM\t\tSpam script\r\n",
                  {{"CRITERIA/SPAM.KZS", readFile(fixture("script/" + script))},
                   {"ACTIONS/SPAM.TAB", "1\t\t\tCOPY_TO_QUARANTINE\t\n"}});
    }
    void setAgentDword(std::string_view name, uint32_t value) {
        setDword(config::reg::kAgentKey, name, value);
        config::ReadAttachSettings();
    }

    // One filter "Spam" that holds by its SUBJECT criterion, with the given action lines.
    void configureSubjectFilter(const std::string& actionLines) {
        std::string criteria;  // SUBJECT alone, threshold 1
        for (int kind = 0; kind < filters::kCriterionCount; ++kind)
            criteria += std::string(kind == filters::SUBJECT ? "1" : "0") + "\t" +
                        std::string(filters::KindOf(kind).keyword) + "\tx\t\t\t1\n";
        configure("Spam\t1\tSPAM\t\tSpam words\r\n",
                  {{"CRITERIA/SPAM.TAB", criteria}, {"ACTIONS/SPAM.TAB", actionLines}});
        results.block(1).hitCount[filters::SUBJECT] = 1;
        results.block(1).matchText[filters::SUBJECT] = "<MF-W>win</MF-W>";
    }

    // Runs the actions of every filter that holds, keeping the trace and the report line;
    // true when the message was quarantined.
    bool holds() {
        std::filesystem::remove(quarantine() + "/" + std::string(kMessageId));
        report.clear();
        testing::internal::CaptureStdout();
        shortfall = {};
        actions::ExecuteFilterActions(ctx, table, results, report, TextLimit{2048}, hook,
                                      &shortfall);
        trace = testing::internal::GetCapturedStdout();
        return exists(quarantine() + "/" + std::string(kMessageId));
    }
    // The criteria field of the report line.
    std::string reportedCriteria() const {
        std::vector<std::string> fields = tabFields(report);
        return fields.size() > 8 ? fields[8] : std::string();
    }

    filters::FilterTable table;
    filters::CriteriaResults results;
    MessageContext ctx;
    std::string report, trace;
    QueueStepHook hook;
    actions::Shortfall shortfall;
};

TEST_F(DispatcherTest, ASubjectPrefixThatFoundNoSubjectIsNotReported) {
    configureSubjectFilter("1\t\t[SPAM] \tADD_SUBJECT_PREFIX\t\n1\t\t\tCOPY_TO_BADMAIL\t\n");
    writeFile(messageFile(), "From: a@example.org\n\nSubject: only in the body\n");
    holds();
    EXPECT_NE(report.find("\tCOPY_TO_BADMAIL\t"), std::string::npos) << report;
    EXPECT_EQ(report.find("ADD_SUBJECT_PREFIX"), std::string::npos) << report;
}

// Header lines, a subject prefix and an annotation change one copy of the message in
// memory, written once at the end of the run, and before an action that reads the file:
// the folder copy holds the edits made before it.
TEST_F(DispatcherTest, TheEditsOfARunAreWrittenOnceAndBeforeAFolderCopy) {
    setString(config::kProductKey, config::kMailRoot, dir_.file("mail"));
    config::ReadAttachDirectories();
    const std::string junk = dir_.file("mail/Main/MAILROOT/joe/Junk");
    makeDirectories(junk);
    makeDirectories(dir_.file("config/POSTOFFICES/System/Annotations"));
    writeFile(dir_.file("config/POSTOFFICES/System/Annotations/SPAM.TXT"), "Checked.\r\n");
    ctx.account = "Main";
    ctx.user = "joe";
    int rewrites = 0;
    hook = [&rewrites](std::string_view step) {
        rewrites += step == kStepReplaceTarget;
        return true;
    };
    const std::string before =
        "1\t\tX-One|first\tADD_HEADER\t\n"
        "1\t\t[SPAM] \tADD_SUBJECT_PREFIX\t\n"
        "1\t\tX-Two|[KZ_CRITERIA]\tADD_HEADER\t\n";
    const std::string after =
        "1\t\tX-One|again\tADD_HEADER\t\n"
        "1\t\t1\tAPPEND_ANNOTATIONS\t\n";
    for (const std::string& copy : {std::string(), std::string("1\t\tJunk\tCOPY\t\n")}) {
        writeFile(messageFile(), queueFixture("plain.eml"));
        configureSubjectFilter(before + copy + after);
        rewrites = 0;
        holds();
        EXPECT_EQ(rewrites, copy.empty() ? 1 : 2);
        EXPECT_EQ(readFile(messageFile()), readFile(fixture("actions/edited.eml")));
        EXPECT_EQ(strayNames(inbound() + "/Messages", {std::string(kMessageId)}),
                  std::vector<std::string>{});
    }
    EXPECT_EQ(readFile(junk + "/" + std::string(kMessageId)),
              readFile(fixture("actions/edited_before_copy.eml")));
}

// A rewrite that fails leaves the message whole, and the report leaves out the edit it
// would have made: it names only what was carried out.
TEST_F(DispatcherTest, AFailedRewriteLeavesTheMessageWholeAndUnreported) {
    configureSubjectFilter("1\t\tX-One|first\tADD_HEADER\t\n1\t\t\tCOPY_TO_BADMAIL\t\n");
    hook = [](std::string_view step) { return step != kStepReplaceTarget; };
    holds();
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
    EXPECT_EQ(strayNames(inbound() + "/Messages", {std::string(kMessageId)}),
              std::vector<std::string>{});
    EXPECT_EQ(tabFields(report).at(4), "COPY_TO_BADMAIL") << report;
    EXPECT_TRUE(shortfall.editNotWritten);
    hook = {};
    holds();
    EXPECT_NE(readFile(messageFile()).find("\r\nX-One: first\r\n"), std::string::npos);
    EXPECT_EQ(tabFields(report).at(4), "ADD_HEADER,COPY_TO_BADMAIL") << report;
    EXPECT_FALSE(shortfall.any());
}

// A copy for the administrator that fails (here its folder is missing) withholds every
// later removal from the queue, of this filter and the next: without the copy the message
// would be lost. The copy is not reported; the other copy is.
TEST_F(DispatcherTest, AFailedQuarantineCopyWithholdsEveryRemovalAfterIt) {
    std::string criteria;  // ALLMESSAGES alone
    for (int kind = 0; kind < filters::kCriterionCount; ++kind)
        criteria += std::string(kind == filters::ALLMESSAGES ? "1" : "0") + "\t" +
                    std::string(filters::KindOf(kind).keyword) + "\t\t\t\t1\n";
    configure("Spam\t1\tSPAM\t\tSpam words\r\nAll\t1\tALL\t\tEverything\r\n",
              {{"CRITERIA/SPAM.TAB", criteria},
               {"CRITERIA/ALL.TAB", criteria},
               {"ACTIONS/SPAM.TAB",
                "1\t\t\tCOPY_TO_QUARANTINE\t\n1\t\t\tCOPY_TO_BADMAIL\t\n1\t\t\tDELETE\t\n"},
               {"ACTIONS/ALL.TAB", "1\t\t\tDELETE\t\n"}});
    for (int position : {1, 2}) results.block(position).hitCount[filters::ALLMESSAGES] = 1;
    std::filesystem::remove_all(quarantine());
    holds();
    EXPECT_TRUE(shortfall.copyNotKept);
    EXPECT_TRUE(exists(commandFile()));
    EXPECT_EQ(readFile(messageFile()), queueFixture("plain.eml"));
    EXPECT_EQ(tabFields(report).at(4), "COPY_TO_BADMAIL") << report;
    EXPECT_NE(trace.find("Not taking " + std::string(kMessageId) + " out of the queue"),
              std::string::npos)
        << trace;
}

// An action file is read again only when it changed: a rewrite at the same size shows,
// and so does a file whose name differs from the filter's in case.
TEST_F(DispatcherTest, ActionFilesAreFollowedFromRunToRun) {
    namespace fs = std::filesystem;
    configureSubjectFilter("1\t\t\tCOPY_TO_BADMAIL\t\n");
    const std::string actions = dir_.file("config/FILTERS/ACTIONS/SPAM.TAB");
    auto settle = [](const std::string& path, std::chrono::hours ago) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - ago);
    };
    settle(actions, std::chrono::hours(2));
    for (int run = 0; run < 2; ++run) {
        holds();
        EXPECT_EQ(tabFields(report).at(4), "COPY_TO_BADMAIL") << report;
    }
    writeFile(actions, "0\t\t\tCOPY_TO_BADMAIL\t\n");
    settle(actions, std::chrono::hours(1));
    holds();
    EXPECT_EQ(report, "");
    const std::string otherCase = dir_.file("config/FILTERS/ACTIONS/Spam.tab");
    fs::rename(actions, otherCase);
    writeFile(otherCase, "1\t\t\tCOPY_TO_BADMAIL\t\n");
    for (int run = 0; run < 2; ++run) {
        holds();
        EXPECT_EQ(tabFields(report).at(4), "COPY_TO_BADMAIL") << report;
        settle(otherCase, std::chrono::hours(3));
    }
    fs::remove(otherCase);
    holds();
    EXPECT_EQ(report, "");
}

// The cases of tests/fixtures/script/verdict_cases.txt: whether the script filter holds,
// what the report names as the criterion and a line of the trace.
TEST_F(DispatcherTest, ScriptVerdicts) {
    const auto cases = ReadCaseFile("script/verdict_cases.txt");
    EXPECT_EQ(cases.size(), 11u);
    setAgentDword(config::kDebugStatus, 2);
    for (const CaseLine& c : cases) {
        const std::vector<std::string>& f = c.fields;
        SCOPED_TRACE(::testing::Message() << "line " << c.number << ": " << f[0] << " " << f[2]);
        ASSERT_EQ(f.size(), 6u);
        configureScript(f[0]);
        const CriterionType kind = CriterionType(filters::CriterionFromKeyword(f[1]));
        std::istringstream values(f[2]);
        std::size_t j = 0;
        for (std::string value; std::getline(values, value, ',');)
            results.block(1).instanceValue[kind][j++] = value;
        EXPECT_EQ(holds(), f[3] == "1");
        EXPECT_EQ(reportedCriteria(), f[4]) << report;
        EXPECT_NE(trace.find(Unescape(f[5])), std::string::npos) << trace;
    }
}

TEST_F(DispatcherTest, ScriptLiteralModeZeroLeavesPlaceholders) {
    configureScript("subject_placeholder.KZS");
    EXPECT_FALSE(holds());  // literal mode 1 by default: the subject replaced it
    setAgentDword(config::kScriptLiteralMode, 0);
    EXPECT_TRUE(holds());
}

TEST_F(DispatcherTest, QuotesInTheSenderCannotBecomeScriptCode) {
    configureScript("sender_literal.KZS");
    EXPECT_TRUE(holds());
    ctx.sender = "[SMTP:\"x\" : FilterResult = 1 : y = \"\"@host.test]";
    EXPECT_FALSE(holds());
}

TEST_F(DispatcherTest, FullerScriptWithLoopsSelectAndRegExp) {
    ctx.subject = "Free offer";
    configureScript("policy.KZS");
    results.block(1).instanceValue[filters::BODY][0] = "1";
    EXPECT_TRUE(holds());
    EXPECT_EQ(reportedCriteria(), "Score 7") << report;
}

}  // namespace
}  // namespace kz::test
