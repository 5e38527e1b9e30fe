// Several queue threads filter while the filter table is replaced and reloaded.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <thread>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

constexpr int kMessages = 240;

// Removes one "X-KZ-Tag: " header line; the letter it carried, or '?' when there is
// not exactly one.
char TakeTag(std::string& message) {
    const std::string name = "X-KZ-Tag: ";
    std::size_t at = message.find(name);
    if (at == std::string::npos || message.find(name, at + 1) != std::string::npos) return '?';
    char tag = message[at + name.size()];
    message.erase(at, message.find('\n', at) + 1 - at);
    return tag;
}

TEST(DispatchReload, QueueThreadsLoseNoMessageWhileTheTableIsReloaded) {
    DispatchServer server("reload");
    std::set<std::string> kept, dropped;
    for (int i = 0; i < kMessages; ++i) {
        std::string id = "M" + std::to_string(1000 + i) + ".MAI";
        bool drop = i % 2 == 1;
        server.queue(id, drop ? "prize" : "figures");
        (drop ? dropped : kept).insert(id);
    }
    // One reload is due before the first message; more follow during the run.
    writeFile(server.registry, readFile(server.registry) + "\"Reload\"=dword:00000001\r\n");

    // Meanwhile FILTER.TAB is swapped between its two versions (each complete before it is
    // visible) and a reload asked for, again and again.
    const std::string table = server.dir.file("config/FILTERS/FILTER.TAB");
    const std::string versions[] = {readFile(table), readFile(server.dir.file("FILTER-B.TAB"))};
    std::atomic<bool> stop{false};
    std::atomic<int> requests{0};
    std::thread requester([&] {
        for (int turn = 1; !stop; ++turn, ++requests) {
            writeFile(table + ".new", versions[turn % 2]);
            fs::rename(table + ".new", table);
            run({binPath("kzmta"), "reload", "--registry", server.registry});
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    RunOutput out =
        run(kzmtaRun(server.registry, {"--threads", "4"}), {"KZ_RUNTIME_DIR=" + server.dir.path()});
    stop = true;
    requester.join();
    EXPECT_GT(requests, 0);
    ASSERT_EQ(out.status, 0) << out.err;
    EXPECT_NE(out.out.find("Messages filtered: " + std::to_string(kMessages) + "\n"),
              std::string::npos)
        << out.out;
    EXPECT_NE(out.out.find("New messages queued by actions: 0\n"), std::string::npos);

    // Kept mail was handed on whole, tagged once by whichever table it met.
    const std::string outgoing = server.dir.file("queue/SMTP/Outgoing");
    EXPECT_EQ(fileNames(outgoing), kept);
    EXPECT_EQ(fileNames(outgoing + "/Messages"), kept);
    EXPECT_TRUE(fileNames(server.inbound).empty());
    EXPECT_TRUE(fileNames(server.inbound + "/Messages").empty());
    const std::string original = readFile(fixture("dispatch/messages/figures.eml"));
    const std::string envelope = readFile(fixture("dispatch/messages/figures.cmd"));
    for (const std::string& id : kept) {
        std::string message = readFile(outgoing + "/Messages/" + id);
        char tag = TakeTag(message);
        EXPECT_TRUE(tag == 'A' || tag == 'B') << id;
        EXPECT_EQ(message, original) << id;
        EXPECT_EQ(readFile(outgoing + "/" + id), envelope) << id;
    }

    // One tag line per message and one drop line per dropped message, none torn.
    std::map<std::string, int> tagged, deleted;
    for (const std::string& line : server.executedLines()) {
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 9) << line;
        std::string id = line.substr(9, line.find('\t', 9) - 9);
        if (line.find("\tTagged A\tADD_HEADER\t") != std::string::npos ||
            line.find("\tTagged B\tADD_HEADER\t") != std::string::npos) {
            ++tagged[id];
        } else if (line.find("\tDropped\tDELETE\t") != std::string::npos) {
            ++deleted[id];
        } else {
            ADD_FAILURE() << line;
        }
    }
    EXPECT_EQ(tagged.size(), std::size_t(kMessages));
    for (const auto& [id, count] : tagged) EXPECT_EQ(count, 1) << id;
    EXPECT_EQ(deleted.size(), dropped.size());
    for (const auto& [id, count] : deleted) EXPECT_TRUE(dropped.count(id) && count == 1) << id;
    EXPECT_NE(server.reportLog().find("\tReloading filters due to change.\n"), std::string::npos);
}

}  // namespace
}  // namespace kz::test
