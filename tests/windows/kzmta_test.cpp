// kzmta.exe, started as an administrator starts it, on a quarantine the loaded agent made
// in a folder whose name lies outside every ANSI code page: the arguments and the paths
// the registry names must reach the files whole, and the output comes back in UTF-8.

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kzmta_process.h"
#include "loaded_agent.h"
#include "platform/utf8_path.h"
#include "windows_test_support.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

const std::string kFolder = "Pr\u00fcfung-\u90ae\u4ef6";  // Prüfung-邮件
// A subject whose encoded word holds the folder's name; "lottery" is what holds it.
const std::string kSubject = "Claim your lottery prize " + kFolder;
const std::string kEncodedSubject =
    "Claim your lottery prize =?UTF-8?Q?Pr=C3=BCfung-=E9=82=AE=E4=BB=B6?=";

// What kzmta.exe wrote and its exit code, run in the folder for at most a minute.
struct Ran {
    std::string out;
    std::optional<DWORD> status;
};

Ran kzmta(const std::string& folder, const std::vector<std::string>& args) {
    KzmtaProcess process(args, folder);
    std::optional<DWORD> status = process.exitCode(std::chrono::seconds(60));
    return {process.output(), status};
}

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(platform::pathFromUtf8(folder)))
        if (entry.is_regular_file())
            names.push_back(platform::utf8FromPath(entry.path().filename()));
    return names;
}

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// "held" quarantines prize mail, files it in the recipient's "Held" folder and takes it
// out of the queue.
TEST(Kzmta, ManagesAQuarantineInAFolderOutsideTheCodePage) {
    LoadedAgent agent("held", kFolder);
    ASSERT_NE(agent.root().find(kFolder), std::string::npos);
    fs::create_directories(platform::pathFromUtf8(agent.file("mail\\example.com\\MAILROOT\\anna")));
    std::string prize = readWhole(fixture("dispatch/messages/prize.eml"));
    prize.replace(prize.find("Claim your lottery prize"), 24, kEncodedSubject);
    const std::string envelope = readWhole(fixture("dispatch/messages/prize.cmd"));
    agent.queueText("KEEP.MAI", envelope, prize);
    agent.queueText("DROP.MAI", envelope, prize);
    agent.filter({"KEEP.MAI", "DROP.MAI"});
    const std::string root = agent.root();
    ASSERT_EQ(namesIn(agent.file("quarantine")).size(), 2u);

    Ran list = kzmta(root, {"quarantine", "list", "--json"});
    EXPECT_EQ(list.status, 0u) << list.out;
    EXPECT_TRUE(has(list.out, "\"id\":\"KEEP.MAI\"")) << list.out;
    EXPECT_TRUE(has(list.out, "\"subject\":\"" + kSubject + "\"")) << list.out;
    EXPECT_TRUE(has(list.out, "\"filters\":[\"Prizes are held\"]")) << list.out;

    Ran shown = kzmta(root, {"quarantine", "show", "KEEP.MAI"});
    EXPECT_EQ(shown.status, 0u) << shown.out;
    EXPECT_TRUE(has(shown.out, kSubject)) << shown.out;
    // A path through the folder, given whole on the command line.
    Ran inspected = kzmta(root, {"inspect", agent.file("quarantine\\Messages\\KEEP.MAI")});
    EXPECT_EQ(inspected.status, 0u) << inspected.out;
    EXPECT_TRUE(has(inspected.out, kSubject)) << inspected.out;

    Ran released = kzmta(root, {"quarantine", "release", "KEEP.MAI", "--json"});
    EXPECT_EQ(released.status, 0u) << released.out;
    const std::string inbound = agent.file("queue\\SMTP\\Inbound");
    const std::vector<std::string> queued = namesIn(inbound);
    ASSERT_EQ(queued.size(), 1u);
    EXPECT_TRUE(has(released.out, "\"queuedAs\":\"" + queued[0] + "\"")) << released.out;
    EXPECT_TRUE(has(readWhole(inbound + "\\" + queued[0]), "Recipients=[SMTP:anna@example.com]"));
    EXPECT_TRUE(has(readWhole(inbound + "\\Messages\\" + queued[0]), kEncodedSubject));
    // The message file is written before the command file that makes it a message.
    EXPECT_LE(fs::last_write_time(platform::pathFromUtf8(inbound + "\\Messages\\" + queued[0])),
              fs::last_write_time(platform::pathFromUtf8(inbound + "\\" + queued[0])));

    Ran refused = kzmta(root, {"quarantine", "delete", "..\\DROP.MAI"});
    EXPECT_EQ(refused.status, 2u) << refused.out;
    EXPECT_TRUE(has(refused.out, "not a quarantined message's ID")) << refused.out;
    Ran deleted = kzmta(root, {"quarantine", "delete", "DROP.MAI"});
    EXPECT_EQ(deleted.status, 0u) << deleted.out;
    EXPECT_TRUE(namesIn(agent.file("quarantine")).empty());

    // Two messages filtered, each held by the one filter, as the report log says.
    Ran stats = kzmta(root, {"stats", "--json"});
    EXPECT_EQ(stats.status, 0u) << stats.out;
    EXPECT_TRUE(has(stats.out, "\"messages\":2,")) << stats.out;
    EXPECT_TRUE(has(stats.out, "{\"description\":\"Prizes are held\",\"hits\":2,")) << stats.out;
}

}  // namespace
}  // namespace kz::test
