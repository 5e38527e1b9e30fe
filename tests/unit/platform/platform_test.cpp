// The platform's clock, code pages, identifiers, name lookups and processes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <regex>
#include <set>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/guid.h"
#include "platform/process.h"
#include "support/case_file.h"
#include "unit/platform/scoped_env.h"

namespace kz::platform {
namespace {

// Sets TZ for one test; the zone is re-read after setting and after restoring.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) : env_("TZ", zone) { ::tzset(); }

  private:
    struct Refresh {
        ~Refresh() { ::tzset(); }
    } refresh_;  // destroyed last, after env_ has put TZ back
    test::ScopedEnv env_;
};

TimePoint utc(std::time_t seconds) {
    return std::chrono::system_clock::from_time_t(seconds);
}

const TimePoint kWinter = utc(1704441789);  // 2024-01-05 08:03:09 UTC, a Friday

TEST(Clock, MailDateAndLogStampFollowTheZoneAndDaylightSaving) {
    const auto cases = test::ReadCaseFile("platform/zone_cases.txt");
    EXPECT_EQ(cases.size(), 6u);
    for (const test::CaseLine& c : cases) {
        ScopedTimeZone zone(c.fields[0].c_str());
        const TimePoint when = utc(std::stol(c.fields[1]));
        EXPECT_EQ(mailDateText(when), c.fields[2]) << "line " << c.number;
        EXPECT_EQ(logTimeStamp(when), c.fields[3]) << "line " << c.number;
    }
}

TEST(Clock, DailyNameAndDayNumberChangeAtLocalMidnight) {
    const TimePoint lateUtc = utc(1721082600);  // 2024-07-15 22:30 UTC
    {
        ScopedTimeZone zone("Europe/Berlin");  // already the 16th
        EXPECT_EQ(formatLocalTime("MTAFILTER-Report-%y%m%d.log", lateUtc),
                  "MTAFILTER-Report-240716.log");
        EXPECT_EQ(localDayNumber(lateUtc), 20240716);
    }
    ScopedTimeZone zone("America/New_York");  // still the 15th
    EXPECT_EQ(formatLocalTime("MTAFILTER-Report-%y%m%d.log", lateUtc),
              "MTAFILTER-Report-240715.log");
    EXPECT_EQ(localDayNumber(lateUtc), 20240715);
}

TEST(Clock, FormatsOfAnyLength) {
    ScopedTimeZone zone("UTC");
    EXPECT_EQ(formatLocalTime("", kWinter), "");
    EXPECT_EQ(formatLocalTime("%a %b", kWinter), "Fri Jan");
    std::string longFormat, expected;
    for (int i = 0; i < 2000; ++i) {
        longFormat += "%Y-";
        expected += "2024-";
    }
    EXPECT_EQ(formatLocalTime(longFormat, kWinter), expected);
}

const auto kCases = test::ReadCaseGroups("platform/codepage_cases.txt");

TEST(CodePage, ConvertsBothWays) {
    EXPECT_EQ(kCases.at("RoundTrip").size(), 14u);
    for (const test::CaseLine& c : kCases.at("RoundTrip")) {
        const unsigned codePage = unsigned(std::stoul(c.fields[0]));
        const std::string bytes = test::Unescape(c.fields[1]), utf8 = test::Unescape(c.fields[2]);
        EXPECT_EQ(toUtf8(bytes, codePage), utf8) << "line " << c.number;
        EXPECT_EQ(fromUtf8(utf8, codePage), bytes) << "line " << c.number;
    }
    for (const test::CaseLine& c : kCases.at("ToUtf8"))
        EXPECT_EQ(toUtf8(test::Unescape(c.fields[1]), unsigned(std::stoul(c.fields[0]))),
                  test::Unescape(c.fields[2]))
            << "line " << c.number;
}

TEST(CodePage, InvalidOrUnmappableInputGivesNull) {
    EXPECT_EQ(kCases.at("Invalid").size(), 6u);
    for (const test::CaseLine& c : kCases.at("Invalid"))
        EXPECT_FALSE(toUtf8(test::Unescape(c.fields[1]), unsigned(std::stoul(c.fields[0]))))
            << "line " << c.number;
    for (const test::CaseLine& c : kCases.at("Unmappable"))
        EXPECT_FALSE(fromUtf8(test::Unescape(c.fields[1]), unsigned(std::stoul(c.fields[0]))))
            << "line " << c.number;

    for (unsigned cp : {0u, 1u, 12345u, 57002u, 99999u}) {  // unknown code pages
        EXPECT_FALSE(isCodePageSupported(cp)) << cp;
        EXPECT_FALSE(toUtf8("abc", cp)) << cp;
        EXPECT_FALSE(fromUtf8("abc", cp)) << cp;
    }
}

TEST(CodePage, EveryMappedCodePageWorksOnThisMachine) {
    int mapped = 0;
    for (unsigned cp = 0; cp < 70000; ++cp) {
        if (!iconvNameForCodePage(cp)) continue;
        ++mapped;
        EXPECT_TRUE(isCodePageSupported(cp)) << cp << " " << iconvNameForCodePage(cp);
        EXPECT_TRUE(fromUtf8("AZ09", cp)) << cp;  // 20290 has no lower case
    }
    EXPECT_GT(mapped, 100);
    EXPECT_TRUE(isCodePageSupported(52936));
}

TEST(CodePage, Windows1252AgreesWithIconvWhereBothDefineAByte) {
    iconv_t cd = ::iconv_open("UTF-8", "CP1252");
    ASSERT_NE(cd, reinterpret_cast<iconv_t>(-1));
    for (int b = 0x01; b <= 0xFF; ++b) {
        char in = char(b), out[8] = {};
        char* inPtr = &in;
        char* outPtr = out;
        size_t inLeft = 1, outLeft = sizeof out;
        if (::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == size_t(-1)) continue;
        EXPECT_EQ(toUtf8(std::string(1, char(b)), 1252), std::string(out, outPtr)) << b;
    }
    ::iconv_close(cd);
}

TEST(CodePage, StrictUtf8) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_EQ(kCases.at("ValidUtf8").size(), 8u);
    for (const test::CaseLine& c : kCases.at("ValidUtf8"))
        EXPECT_TRUE(isValidUtf8(test::Unescape(c.fields[0]))) << "line " << c.number;
    EXPECT_EQ(kCases.at("InvalidUtf8").size(), 13u);
    for (const test::CaseLine& c : kCases.at("InvalidUtf8")) {
        const std::string s = test::Unescape(c.fields[0]);
        EXPECT_FALSE(isValidUtf8(s)) << "line " << c.number;
        EXPECT_FALSE(fromUtf8(s, 65001)) << "line " << c.number;
        EXPECT_FALSE(toUtf8(s, 65001)) << "line " << c.number;
        EXPECT_FALSE(fromUtf8(s, 28591)) << "line " << c.number;
    }
}

TEST(CodePage, ConcurrentConversionsKeepTheirOwnState) {
    const std::string jis = "\x1B$BF|K\\\x1B(B";
    const std::string utf8 = "\xE6\x97\xA5\xE6\x9C\xAC";
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (size_t t = 0; t < wrong.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if (toUtf8(jis, 50220) != utf8 || fromUtf8(utf8, 50220) != jis) ++wrong[t];
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int w : wrong) EXPECT_EQ(w, 0);
}

// Upper-case hexadecimal with the version 4 bits, and no repeat across threads.
TEST(Guid, QueuedMessageIdsHaveTheirShapeAndNeverRepeat) {
    const std::regex shape("[0-9A-F]{12}4[0-9A-F]{3}[89AB][0-9A-F]{15}\\.MAI");
    std::mutex lock;
    std::set<std::string> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                std::string id = newQueuedMessageId();
                std::lock_guard<std::mutex> guard(lock);
                if (seen.size() < 100) {
                    EXPECT_TRUE(std::regex_match(id, shape)) << id;
                }
                seen.insert(id);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(seen.size(), 8000u);
}

using namespace std::chrono_literals;

using std::chrono::milliseconds;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsRuntimeRules) {
    const auto cases = test::ReadCaseFile("platform/command_lines.txt");
    EXPECT_EQ(cases.size(), 15u);
    for (const test::CaseLine& c : cases) {
        EXPECT_EQ(splitCommandLine(c.fields[0]), Args(c.fields.begin() + 1, c.fields.end()))
            << "line " << c.number << ": " << c.fields[0];
    }
    EXPECT_EQ(splitCommandLine("p \t a\t\tb  "), (Args{"p", "a", "b"}));
    EXPECT_EQ(splitCommandLine(""), Args{});
}

TEST(RunProcess, ReportsExitCodeSignalTheKillAtTheBoundOrThatItDidNotStart) {
    ProcessResult code = runProcess(R"(sh -c "exit 7")", milliseconds(30000));
    EXPECT_TRUE(code.started && code.finished && !code.killed);
    EXPECT_EQ(code.exitCode, 7);
    ProcessResult signalled = runProcess(Args{"sh", "-c", "kill -TERM $$"}, milliseconds(30000));
    EXPECT_TRUE(signalled.finished);
    EXPECT_EQ(signalled.signal, SIGTERM);
    EXPECT_EQ(signalled.exitCode, -1);
    ProcessResult late = runProcess("sleep 30", milliseconds(100));
    EXPECT_TRUE(late.started && !late.finished && late.killed);
    for (const char* line : {"/nonexistent/kz-program", "kz-no-such-program-here arg", "", " x"}) {
        ProcessResult r = runProcess(line, milliseconds(1000));
        EXPECT_FALSE(r.started) << line;
        EXPECT_EQ(r.errorCode, ENOENT) << line;
        EXPECT_FALSE(r.error.empty()) << line;
    }
}

TEST(RunProcess, ChildGetsItsArgumentsUnchangedEmptyInputAndNoneOfOurDescriptors) {
    // Not close-on-exec on purpose: the child must still not see it.
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 3);
    std::string probe = "[ ! -e /proc/self/fd/" + std::to_string(fd) + " ] && ! read line";
    ProcessResult r = runProcess(Args{"sh", "-c", probe}, milliseconds(30000));
    close(fd);
    EXPECT_EQ(r.exitCode, 0);
    // Without a shell: the arguments arrive as they stand.
    r = runProcess(R"(sh -c "test \"$1\" = 'a b;$HOME*'" sh "a b;$HOME*")", milliseconds(30000));
    EXPECT_EQ(r.exitCode, 0);
}

}  // namespace
}  // namespace kz::platform
