// How the lines of action files are carried out, through the loaded library.

#include <gtest/gtest.h>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

// Prize mail meets five filters in turn: a disabled DELETE before a quarantine copy,
// a header line followed by short lines, a MOVE whose copy fails, and a stop in the
// middle of an action file; the fifth filter, a lower-case "delete", comes after the
// stop. Figures mail meets only the fifth.
TEST(DispatchLines, EachLineDoesWhatItSaysAndTheStopEndsTheWalk) {
    DispatchServer server("lines");
    server.queue("PRIZE.MAI", "prize");
    server.queue("FIGURES.MAI", "figures");
    RunOutput out = server.filter({"PRIZE.MAI", "FIGURES.MAI"});
    ASSERT_EQ(out.status, 0) << out.err;

    std::vector<std::string> recorded;  // "message filter: actions" per report line
    for (const std::string& line : server.executedLines()) {
        std::vector<std::string> fields = tabFields(line);
        ASSERT_EQ(fields.size(), 10u) << line;
        recorded.push_back(fields[1] + " " + fields[3] + ": " + fields[4]);
    }
    EXPECT_EQ(recorded, (std::vector<std::string>{
                            "PRIZE.MAI Disabled delete, quarantine: COPY_TO_QUARANTINE",
                            "PRIZE.MAI Short lines: ADD_HEADER",
                            "PRIZE.MAI Move to Held: MOVE",
                            "PRIZE.MAI Stop in the middle: COPY_TO_BADMAIL,STOP_PROCESSING",
                            "FIGURES.MAI Lower-case delete: delete",
                        }))
        << server.reportLog();

    // Disabled lines are bypassed, once; the enabled line after it runs.
    std::size_t bypass = out.out.find("Bypassing Action. Status Disabled\n");
    ASSERT_NE(bypass, std::string::npos) << out.out;
    EXPECT_EQ(out.out.find("Bypassing Action", bypass + 1), std::string::npos) << out.out;
    EXPECT_TRUE(exists(server.dir.file("quarantine/Messages/PRIZE.MAI")));

    // A short line never repeats the line before it.
    std::string message = readFile(server.messageFile("PRIZE.MAI"));
    EXPECT_NE(message.find("X-KZ-One: first\r\n"), std::string::npos) << message;
    EXPECT_EQ(message.find("X-KZ-Two"), std::string::npos) << message;

    // MOVE copies from the Outgoing folder, where the message is not: nothing is filed
    // and the message stays. Neither the DELETE after the stop nor the later lower-case
    // delete removed it.
    EXPECT_FALSE(std::filesystem::exists(server.dir.file("mail")));
    EXPECT_TRUE(exists(server.commandFile("PRIZE.MAI")));
    EXPECT_TRUE(exists(server.messageFile("PRIZE.MAI")));
    EXPECT_NE(out.out.find("stop processing filters\n"), std::string::npos) << out.out;
    EXPECT_TRUE(exists(server.dir.file("badmail/Messages/PRIZE.MAI")));
    std::size_t after = out.out.find("rule (After stop) satisfied");
    ASSERT_NE(after, std::string::npos) << out.out;  // for figures mail
    EXPECT_EQ(out.out.find("rule (After stop) satisfied", after + 1), std::string::npos) << out.out;
    EXPECT_FALSE(exists(server.commandFile("FIGURES.MAI")));
    EXPECT_FALSE(exists(server.messageFile("FIGURES.MAI")));
}

}  // namespace
}  // namespace kz::test
