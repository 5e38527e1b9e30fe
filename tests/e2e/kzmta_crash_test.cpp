// kzmta run killed at random points, again and again, then run to the end: no message is
// lost or torn and nothing is left behind. KZ_CRASH_KILLS raises the number of kills and
// KZ_CRASH_SEED varies them (scripts/crash-test.sh); the defaults keep the test short.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "e2e/dispatch_server.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// What the filters of tests/fixtures/crash do, chosen by a word of the subject.
enum class Kind { Plain, Forward, Notify, Copy, Move };
constexpr const char* kWords[] = {"plain", "forward", "notify", "copy", "move"};

struct Original {
    Kind kind;
    std::string command, message;
};

class CrashQueue {
  public:
    CrashQueue() {
        copyFixture("crash", dir_.path());
        for (const char* folder :
             {"queue/SMTP/Inbound/Messages", "badmail", "quarantine", "mail/Main/MAILROOT/joe"})
            fs::create_directories(dir_.file(folder));
    }

    std::string registry() const { return dir_.file("registry.reg"); }
    std::string path(std::string_view relative) const { return dir_.file(relative); }

    void queue(const std::string& id, Kind kind) {
        Original original{kind,
                          "Sender=[SMTP:a@example.org]\r\nRecipients=[SMTP:joe@example.com]\r\n"
                          "Account=Main\r\nUser=joe\r\n",
                          "From: a@example.org\r\nTo: joe@example.com\r\nSubject: " +
                              std::string(kWords[int(kind)]) + " " + id + "\r\n\r\nBody of " + id +
                              "\r\n"};
        writeFile(path("queue/SMTP/Inbound/Messages/" + id), original.message);
        writeFile(path("queue/SMTP/Inbound/" + id), original.command);
        originals_.emplace(id, std::move(original));
    }

    std::size_t waiting() const { return names("queue/SMTP/Inbound").size(); }
    const std::map<std::string, Original>& originals() const { return originals_; }

    std::vector<std::string> args(std::vector<std::string> extra = {}) const {
        extra.insert(extra.begin(), {"--threads", "2"});
        return kzmtaRun(registry(), extra);
    }
    std::vector<std::string> env() const { return {"KZ_RUNTIME_DIR=" + dir_.path()}; }
    // A leak check cut short by the kill would only report its own interruption.
    std::vector<std::string> envToKill() const {
        const char* asan = std::getenv("ASAN_OPTIONS");
        return {"KZ_RUNTIME_DIR=" + dir_.path(),
                "ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":detect_leaks=0"};
    }

    std::set<std::string> names(std::string_view relative) const {
        return fileNames(path(relative));
    }

    // Temporaries anywhere, working copies of header rewrites.
    std::vector<std::string> leftovers() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir_.path())) {
            if (entry.path().filename().string().ends_with(".tmp")) found.push_back(entry.path());
        }
        for (const std::string& name : names("queue/SMTP/Inbound/Messages"))
            if (name.starts_with("_")) found.push_back(name);
        return found;
    }

  private:
    TempDir dir_;
    std::map<std::string, Original> originals_;
};

int EnvNumber(const char* name, int fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}

std::string Prefixed(const std::string& message) {
    std::string out = message;
    out.insert(out.find("Subject: ") + 9, "[COPIED] ");
    return out;
}

// Starts a run, kills it after a random pause; true when it was still running.
bool KillOneRun(const CrashQueue& q, std::mt19937& random, int maxPauseMs) {
    Child child(q.args(), q.envToKill());
    std::this_thread::sleep_for(
        std::chrono::milliseconds(std::uniform_int_distribution<int>(0, maxPauseMs)(random)));
    child.signal(SIGKILL);
    return child.wait() == -1;
}

// Messages the agent queued (forwarded copies, notices) that reached the folder whole.
std::vector<std::string> AgentMessages(const CrashQueue& q, std::string_view folder) {
    std::vector<std::string> texts;
    for (const std::string& name : q.names(folder)) {
        if (q.originals().count(name)) continue;
        std::string text = readFile(q.path(std::string(folder) + "/" + name));
        EXPECT_NE(text.find("X-KZFilter: 1\r\n"), std::string::npos) << name;
        texts.push_back(text);
    }
    return texts;
}

TEST(KzmtaCrash, KilledRunsLoseNothingAndLeaveNothingBehind) {
    const int wantedKills = EnvNumber("KZ_CRASH_KILLS", 40);
    const auto bound = Clock::now() + std::chrono::seconds(std::max(90, wantedKills));
    CrashQueue q;
    std::mt19937 random(unsigned(EnvNumber("KZ_CRASH_SEED", 20261206)));
    int next = 0;
    auto refill = [&] {
        while (q.waiting() < 5) {
            char id[16];
            std::snprintf(id, sizeof id, "M%05d.MAI", next);
            q.queue(id, Kind(next++ % 5));
        }
    };

    // One whole run sets the pause: kills land anywhere from start-up to the last step.
    refill();
    auto started = Clock::now();
    ASSERT_EQ(run(q.args(), q.env()).status, 0);
    int maxPauseMs =
        int(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count());

    int kills = 0;
    while (kills < wantedKills && Clock::now() < bound) {
        refill();
        kills += KillOneRun(q, random, maxPauseMs) ? 1 : 0;
    }
    EXPECT_GE(kills, wantedKills) << "the time bound ran out";

    RunOutput last = run(q.args({"--leftover-age", "0"}), q.env());
    ASSERT_EQ(last.status, 0) << last.err;
    std::size_t sweepLine = last.out.find("Leftovers of interrupted runs");
    std::printf(
        "%d kills of %zu messages; %s\n", kills, q.originals().size(),
        sweepLine == std::string::npos
            ? "nothing left over"
            : last.out.substr(sweepLine, last.out.find('\n', sweepLine) - sweepLine).c_str());
    EXPECT_EQ(q.leftovers(), std::vector<std::string>{});
    EXPECT_EQ(q.names("queue/SMTP/Inbound"), std::set<std::string>{});
    EXPECT_EQ(q.names("queue/SMTP/Outgoing"), q.names("queue/SMTP/Outgoing/Messages"));

    std::vector<std::string> handedOn = AgentMessages(q, "queue/SMTP/Outgoing/Messages");
    std::vector<std::string> swept = AgentMessages(q, "badmail/Messages");
    auto copiedBy = [&](const std::string& id, std::string_view marker) {
        for (const auto* texts : {&handedOn, &swept}) {
            for (const std::string& text : *texts)
                if (text.find(marker) != std::string::npos && text.find(id) != std::string::npos)
                    return true;
        }
        return false;
    };

    for (const auto& [id, original] : q.originals()) {
        SCOPED_TRACE(id);
        std::string out = readFile(q.path("queue/SMTP/Outgoing/Messages/" + id));
        std::string moved = readFile(q.path("mail/Main/MAILROOT/joe/Moved/" + id));
        std::string strayMessage = q.path("queue/SMTP/Inbound/Messages/" + id);
        switch (original.kind) {
            case Kind::Move:
                EXPECT_EQ(moved, original.message);
                EXPECT_FALSE(exists(q.path("queue/SMTP/Outgoing/" + id)));
                // A kill between deleting the command file and the message file leaves the
                // message file of a message that was moved; the copy is in its folder.
                break;
            case Kind::Copy:
                EXPECT_EQ(out, Prefixed(original.message));
                EXPECT_EQ(readFile(q.path("mail/Main/MAILROOT/joe/Copies/" + id)),
                          Prefixed(original.message));
                EXPECT_FALSE(exists(strayMessage));
                break;
            default:
                EXPECT_EQ(out, original.message);
                EXPECT_FALSE(exists(strayMessage));
        }
        if (original.kind != Kind::Move) {
            EXPECT_EQ(readFile(q.path("queue/SMTP/Outgoing/" + id)), original.command);
        }
        if (original.kind == Kind::Forward) {
            EXPECT_TRUE(copiedBy(id, "Body of " + id + "\r\n"));
        }
        if (original.kind == Kind::Notify) {
            EXPECT_TRUE(copiedBy(id, "End of notice."));
        }
    }
    for (const std::string& name : q.names("queue/SMTP/Inbound/Messages")) {
        auto original = q.originals().find(name);
        EXPECT_TRUE(original != q.originals().end() && original->second.kind == Kind::Move)
            << name << " stayed in Inbound/Messages";
    }
}

}  // namespace
}  // namespace kz::test
