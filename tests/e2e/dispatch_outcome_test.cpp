// Whole runs through the loaded library, each compared with its case folder under
// tests/fixtures/dispatch: outcome.txt holds the report's Executed lines and every file the
// run left (the Windows library must leave the same for "lines" and "verdicts"), trace.txt
// the texts the agent prints or writes to the report, with how often each appears.
//
// After a deliberate change of behaviour, KZ_UPDATE_EXPECTED=1 writes outcome.txt anew;
// review its diff like code.

// std::regex under the sanitizers trips a false -Wmaybe-uninitialized in GCC 12.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <gtest/gtest.h>

#include <cstdlib>

#include "e2e/dispatch_server.h"
#include "support/case_file.h"

namespace kz::test {
namespace {

struct DispatchCase {
    std::string name;
    std::vector<std::pair<std::string, std::string>> messages;  // id, sample
};

void PrintTo(const DispatchCase& c, std::ostream* out) {
    *out << c.name;
}

class DispatchOutcome : public testing::TestWithParam<DispatchCase> {};

TEST_P(DispatchOutcome, FilesReportLinesAndTraceAreTheCasesOwn) {
    const DispatchCase& c = GetParam();
    DispatchServer server(c.name);
    std::vector<std::string> ids;
    for (const auto& [id, sample] : c.messages) {
        server.queue(id, sample);
        ids.push_back(id);
    }
    RunOutput out = server.filter(ids);
    ASSERT_EQ(out.status, 0) << out.err;

    const std::string expected = fixture("dispatch/" + c.name + "/outcome.txt");
    if (std::getenv("KZ_UPDATE_EXPECTED")) writeFile(expected, server.outcome());
    EXPECT_EQ(server.outcome(), readFile(expected));

    const std::string trace = out.out + server.reportLog();
    for (const CaseLine& line : ReadCaseFile("dispatch/" + c.name + "/trace.txt")) {
        const std::string text = Unescape(line.fields[1]);
        int count = 0;
        for (std::size_t at = 0; (at = trace.find(text, at)) != std::string::npos; ++at) ++count;
        EXPECT_EQ(count, std::stoi(line.fields[0])) << "trace.txt:" << line.number << "\n" << trace;
    }
}

// lines: a disabled DELETE before a quarantine copy, a header line followed by short
// lines, a MOVE whose copy fails, a stop in the middle of an action file, and a lower-case
// "delete" after it. verdicts: all-of with the met criterion first and last, any-of, and a
// script whose result text joins the criteria text. combined: one filter that rewrites,
// notifies from a template, forwards and runs a program. names: an attachment rule met by
// a repeated extension, template and criteria names that leave their folders, and fields
// too long for a report line.
INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchOutcome,
    testing::Values(DispatchCase{"lines", {{"PRIZE.MAI", "prize"}, {"FIGURES.MAI", "figures"}}},
                    DispatchCase{"verdicts", {{"PRIZE.MAI", "prize"}}},
                    DispatchCase{"combined", {{"PRIZE.MAI", "prize"}}},
                    DispatchCase{"names", {{"INVOICE.MAI", "invoice"}}}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kz::test
