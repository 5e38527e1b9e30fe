// Scans of real message files, placed in a connector's Inbound queue, against the filter
// table of tests/fixtures/scan/config (one filter, most text kinds enabled): the cases of
// tests/fixtures/scan/scan_cases.txt, each on a fresh configuration, and the scans those
// cannot set up.

#include "evaluate/scan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "config/directories.h"
#include "config/registry_keys.h"
#include "dns/dns_library.h"
#include "filters/criteria_results.h"
#include "filters/filter_table.h"
#include "support/case_file.h"
#include "unit/config/config_fixture.h"
#include "unit/evaluate/criterion_met.h"
#include "unit/message/installed_seal.h"

namespace kz {
namespace {

using namespace filters;

struct ScanOutcome {
    int result = 0;
    std::string trace;
};

class ScanTest : public test::ConfigTest {
  protected:
    void SetUp() override {
        test::ConfigTest::SetUp();
        std::filesystem::copy(test::fixture("scan/config"), dir_.file("config"),
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(messagesDir());
        setString(config::kConnectorsKey, config::kConnectorRootDirectory, dir_.file("connectors"));
        config::ReadRunDirectories();
        testing::internal::CaptureStdout();
        LoadFilterTable(table, LoadOptions{dir_.file("config"), false});
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(table.filterCount(), 1);
    }

    // Loads the table again after a test changed the copied SCAN.TAB.
    void setCriterionData(int kind, const std::string& data) {
        const std::string path = criteriaFile();
        std::string text = test::readFile(path);
        std::size_t start = 0;
        for (int line = 0; line < kind; ++line) start = text.find('\n', start) + 1;
        const std::size_t dataStart = text.find('\t', text.find('\t', start) + 1) + 1;
        text.replace(dataStart, text.find('\t', dataStart) - dataStart, data);
        test::writeFile(path, text);
        ReleaseFilterTable(table);
        testing::internal::CaptureStdout();
        LoadFilterTable(table, LoadOptions{dir_.file("config"), false});
        testing::internal::GetCapturedStdout();
    }

    // Scans the fixture message (or a message the test put in the queue) with fresh
    // results; mime picks the scanner.
    ScanOutcome scan(const std::string& message, bool mime) {
        const std::string fixture = test::fixture("scan/messages/" + message);
        if (std::filesystem::exists(fixture)) {
            std::filesystem::copy_file(fixture, messagesDir() + "/" + message,
                                       std::filesystem::copy_options::overwrite_existing);
        }
        context = MessageContext{};
        context.connectorName = "SMTP";
        context.messageId = message;
        AllocateResults(table, results);
        testing::internal::CaptureStdout();
        ScanOutcome outcome;
        evaluate::Evaluation evaluation(table, results, &context);
        outcome.result =
            mime ? evaluate::ScanMessageMime(evaluation) : evaluate::ScanMessagePlain(evaluation);
        outcome.trace = testing::internal::GetCapturedStdout();
        return outcome;
    }

    const MatchResultBlock& block() const { return results.block(1); }
    std::string criteriaFile() const { return dir_.file("config") + "/FILTERS/CRITERIA/SCAN.TAB"; }
    std::string messagesDir() const { return dir_.file("connectors") + "/SMTP/Inbound/Messages"; }

    FilterTable table;
    CriteriaResults results;
    MessageContext context;
};

const auto kScanCases = test::ReadCaseGroups("scan/scan_cases.txt");

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& [name, lines] : kScanCases) names.push_back(name);
    return names;
}

bool IsCheck(const std::string& step) {
    return step != "scan" && step != "data" && step != "setting" && step != "seal";
}

class ScanCase : public ScanTest, public testing::WithParamInterface<std::string> {
  protected:
    // Checks one line of a case against the last scan.
    void check(const std::vector<std::string>& f, const ScanOutcome& outcome) {
        const std::string& step = f[0];
        if (step == "result") {
            EXPECT_EQ(outcome.result, std::stoi(f[1]));
        } else if (step == "trace" || step == "notrace") {
            EXPECT_EQ(outcome.trace.find(test::Unescape(f[1])) != std::string::npos,
                      step == "trace")
                << outcome.trace;
        } else if (step == "traces") {
            const std::string text = test::Unescape(f[2]);
            int found = 0;
            for (auto at = outcome.trace.find(text); at != std::string::npos;
                 at = outcome.trace.find(text, at + 1))
                ++found;
            EXPECT_EQ(found, std::stoi(f[1]));
        } else {
            const int kind = CriterionFromKeyword(f[1]);
            ASSERT_GE(kind, 0) << f[1];
            if (step == "hits" && f[2].ends_with('+'))
                EXPECT_GE(block().hitCount[kind], std::stoi(f[2]));
            else if (step == "hits")
                EXPECT_EQ(block().hitCount[kind], std::stoi(f[2]));
            else if (step == "match")
                EXPECT_EQ(block().matchText[kind], test::Unescape(f[2]));
            else if (step == "instance")
                EXPECT_EQ(block().instanceValue[kind][0], f[2]);
            else
                ADD_FAILURE() << "unknown step " << step;
        }
    }
};

TEST_P(ScanCase, HoldsItsChecks) {
    const std::vector<test::CaseLine>& lines = kScanCases.at(GetParam());
    std::optional<test::InstalledSeal> seal;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::vector<std::string>& f = lines[i].fields;
        if (f[0] == "data") {
            setCriterionData(CriterionFromKeyword(f[1]), test::Unescape(f[2]));
        } else if (f[0] == "setting") {
            setDword(config::kAgentKey, f[1], uint32_t(std::stoul(f[2])));
        } else if (f[0] == "seal") {
            seal.emplace();
        } else {
            ASSERT_EQ(f[0], "scan") << "line " << lines[i].number;
            std::size_t end = i + 1;
            while (end < lines.size() && IsCheck(lines[end].fields[0])) ++end;
            for (bool mime : {false, true}) {
                if (f[2] != "both" && (f[2] == "mime") != mime) continue;
                const ScanOutcome outcome = scan(f[1], mime);
                for (std::size_t j = i + 1; j < end; ++j) {
                    SCOPED_TRACE(testing::Message() << "line " << lines[j].number << ", "
                                                    << (mime ? "mime" : "plain"));
                    check(lines[j].fields, outcome);
                }
            }
            i = end - 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScanCase, testing::ValuesIn(CaseNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

TEST_F(ScanTest, HugeMessageSaturatesSizeAndIsReadOnlyInPart) {
    setCriterionData(SIZE, "4294967294");
    const std::string path = messagesDir() + "/huge.eml";
    test::writeFile(path,
                    "From: x@sender.test\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                    "--b\r\nContent-Type: text/plain\r\n\r\nlottery\r\n");
    // Sparse: 5 GiB that cost no disk; its low 32 bits are 1 GiB.
    ASSERT_EQ(::truncate(path.c_str(), off_t(5) << 30), 0);
    ScanOutcome outcome = scan("huge.eml", true);
    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(block().matchText[SIZE], "<SZ>4294967295</SZ><SZL>4294967294</SZL>");
    EXPECT_EQ(block().hitCount[BODY], 1);
    // The container is still open where the reading stopped.
    EXPECT_NE(outcome.trace.find("attachment criteria held"), std::string::npos);
    EXPECT_EQ(block().hitCount[HASANATTACHMENT], 1);
}

// With the URI blacklist through the test DNS library: the plain scan asks for every body
// line, two of which hold the listed host; the MIME scan asks once, for both bodies joined.
TEST_F(ScanTest, ListedLinksLineByLineOrInTheJoinedBodies) {
    const std::string app = dir_.file("app");
    std::filesystem::create_directories(app);
    std::filesystem::copy_file(test::testLibPath("kzstub_dns.so"), app + "/KZWINDNS.so");
    test::writeFile(app + "/KZWINDNS.reply", "127.0.0.7 sbl.test\n");
    setString(config::kProductKey, config::kApplicationDirectory, app);
    dns::StartDnsLibrary();
    setDword(config::kAgentKey, config::kPerformSblRbl, 1);
    std::string text = test::readFile(criteriaFile());
    text.replace(text.find("0\tURLBL"), 1, "1");
    test::writeFile(criteriaFile(), text);
    setCriterionData(URLBL, "");

    scan("links.eml", false);
    EXPECT_EQ(test::Met(block(), URLBL), "2 <MF-SBLURI>sbl.test</MF-SBLURI>");
    scan("links.eml", true);
    EXPECT_EQ(block().hitCount[URLBL], 1);
}

}  // namespace
}  // namespace kz
