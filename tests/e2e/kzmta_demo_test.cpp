// kzmta demo: the demo environment's messages go through the loaded agent, and every file
// the run leaves behind (queues, quarantine, bad mail, mailbox folders) and every report line
// match the expected files under tests/fixtures/tools/demo/expected.
//
// After a deliberate change of behaviour, KZ_UPDATE_EXPECTED=1 writes the expected files anew;
// review their diff like code.

// std::regex under the sanitizers trips a false -Wmaybe-uninitialized in GCC 12.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

// The report lines without their time stamps, sorted: two queue threads write them in any
// order, and the log file is named after the day of the run.
std::string ReportLines(const std::string& logDirectory) {
    std::vector<std::string> lines = reportLines(logDirectory);
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The demo's own messages have names of the form the agent gives those it queues.
FileTree Outcome(const std::string& root) {
    FileTree files;
    for (const char* folder : {"queue", "quarantine", "badmail", "mail"}) {
        for (const auto& [path, bytes] : fileTree(root + "/" + folder))
            files[std::string(folder) + "/" + path] = bytes;
    }
    files = StableTree(files, "3F2A9C1E0B7D4E1F8A6C5B4D3E2F1A");
    files["report.log"] = ReportLines(root + "/logs");
    return files;
}

TEST(KzmtaDemo, LeavesTheExpectedQueueFilesAndReportLines) {
    TempDir dir;
    std::string root = dir.file("demo");
    RunOutput out = run({binPath("kzmta"), "demo", "--dir", root, "--library",
                         libPath("libkzmtafilter.so")},
                        {"KZ_RUNTIME_DIR=" + dir.path()});
    ASSERT_EQ(out.status, 0) << out.out << out.err;
    // The run's summary, and no trace line of the agent without --verbose.
    for (const char* line :
         {"Messages filtered: 14\n", "Removed from the queue: 2\n", "Handed on: 12\n",
          "New messages queued by actions: 2\n", "Report lines written: 8\n"})
        EXPECT_NE(out.out.find(line), std::string::npos) << line << out.out;
    EXPECT_EQ(out.out.find("Loaded 4 Filters"), std::string::npos) << out.out;
    EXPECT_EQ(out.err.find("Loaded 4 Filters"), std::string::npos) << out.err;
    EXPECT_NE(out.out.find("Subject: [SPAM] F\u00e9licitations, winner of our prize draw"),
              std::string::npos)
        << out.out;

    FileTree actual = Outcome(root);
    std::string expectedDir = fixture("tools/demo/expected");
    if (std::getenv("KZ_UPDATE_EXPECTED")) {
        fs::remove_all(expectedDir);
        for (const auto& [path, bytes] : actual) writeFile(expectedDir + "/" + path, bytes);
    }
    FileTree expected = fileTree(expectedDir);
    std::vector<std::string> actualNames, expectedNames;
    for (const auto& entry : actual) actualNames.push_back(entry.first);
    for (const auto& entry : expected) expectedNames.push_back(entry.first);
    ASSERT_EQ(actualNames, expectedNames);
    for (const auto& [path, bytes] : expected) EXPECT_EQ(actual[path], bytes) << path;
}

}  // namespace
}  // namespace kz::test
