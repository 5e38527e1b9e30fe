// The platform calls that work on files in a scratch folder: reading and writing files,
// paths, libraries, the event log file and named locks.

#include "platform/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

#include "platform/dynlib.h"
#include "platform/event_log.h"
#include "platform/named_lock.h"
#include "support/case_file.h"
#include "support/test_support.h"
#include "unit/platform/scoped_env.h"

namespace kz::platform {
namespace {

using test::TempDir;

std::vector<std::string> sortedEntries(const std::string& dir) {
    std::vector<std::string> names = listDirectory(dir);
    std::sort(names.begin(), names.end());
    return names;
}

mode_t permissions(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(Files, TextModeTurnsOnlyCrLfPairsIntoLfAndMissingFilesFail) {
    std::string path = test::fixture("platform/crlf.txt");
    EXPECT_EQ(readTextFile(path), "first\nsecond\rstill second\n\ndouble\r\nlast without end\r");
    EXPECT_EQ(readFile(path), test::readFile(path));  // binary read keeps every byte
    TempDir dir;
    EXPECT_FALSE(readFile(dir.file("missing")));
    EXPECT_FALSE(readTextFile(dir.file("missing")));
    EXPECT_FALSE(readFile(dir.path()));
    test::writeFile(dir.file("empty"), "");
    EXPECT_EQ(readFile(dir.file("empty")), "");
}

TEST(Files, AtomicWriteReplacesAndKeepsPermissions) {
    TempDir dir;
    std::string target = dir.file("COMMAND");
    ASSERT_TRUE(writeFileAtomic(target, "old\r\n"));
    ::chmod(target.c_str(), 0640);
    ASSERT_TRUE(writeFileAtomic(target, "new\r\n"));
    EXPECT_EQ(test::readFile(target), "new\r\n");
    EXPECT_EQ(permissions(target), 0640u);
    EXPECT_EQ(sortedEntries(dir.path()), std::vector<std::string>{"COMMAND"});
    // The temporary name of the longest name still fits a directory entry.
    EXPECT_TRUE(writeFileAtomic(dir.file(std::string(255, 'x')), "content"));
}

// A working copy is written in place: over a leftover of the same name, with the
// permissions of the file it is to replace, never through a link left under its name.
// A prefix read says whether the file holds more.
TEST(Files, FlushedWritesAndPrefixReads) {
    TempDir dir;
    const std::string message = dir.file("MSG"), copy = dir.file("_MSG");
    test::writeFile(message, "message");
    ::chmod(message.c_str(), 0640);
    test::writeFile(copy, "a longer leftover of an earlier run");
    ASSERT_TRUE(writeFileFlushed(copy, "edited", message));
    EXPECT_EQ(test::readFile(copy), "edited");
    EXPECT_EQ(permissions(copy), 0640u);
    ASSERT_EQ(::unlink(copy.c_str()), 0);
    ASSERT_EQ(::symlink(dir.file("elsewhere").c_str(), copy.c_str()), 0);
    EXPECT_FALSE(writeFileFlushed(copy, "edited"));
    EXPECT_EQ(fileStatus(dir.file("elsewhere")), FileStatus::NotFound);

    EXPECT_EQ(readFilePrefix(message, 4)->text, "mess");
    EXPECT_TRUE(readFilePrefix(message, 4)->cut);
    EXPECT_EQ(readFilePrefix(message, 7)->text, "message");
    EXPECT_FALSE(readFilePrefix(message, 7)->cut);
    EXPECT_FALSE(readFilePrefix(dir.path(), 10));
    EXPECT_FALSE(readFilePrefix(dir.file("missing"), 10));
}

TEST(Files, FailedAtomicWriteLeavesNoTemporary) {
    TempDir dir;
    // The rename cannot replace a non-empty directory.
    test::writeFile(dir.file("target/inside"), "x");
    EXPECT_FALSE(writeFileAtomic(dir.file("target"), "content"));
    EXPECT_EQ(sortedEntries(dir.path()), std::vector<std::string>{"target"});
    EXPECT_FALSE(writeFileAtomic(dir.file("missing/file"), "content"));
}

TEST(Files, ReadersSeeOldOrNewContentNeverATornFile) {
    TempDir dir;
    std::string target = dir.file("message");
    const std::string a(200000, 'a'), b(300000, 'b');
    ASSERT_TRUE(writeFileAtomic(target, a));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            std::optional<std::string> seen = readFile(target);
            if (!seen || (*seen != a && *seen != b)) ++torn;
        }
    });
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(writeFileAtomic(target, i % 2 ? a : b));
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(sortedEntries(dir.path()), std::vector<std::string>{"message"});
}

TEST(Files, CopyOverwritesCompletelyAndFailsWithoutSource) {
    TempDir dir;
    test::writeFile(dir.file("from"), "short");
    test::writeFile(dir.file("to"), "a much longer old content");
    ::chmod(dir.file("from").c_str(), 0600);
    ASSERT_TRUE(copyFile(dir.file("from"), dir.file("to")));
    EXPECT_EQ(test::readFile(dir.file("to")), "short");
    EXPECT_EQ(permissions(dir.file("to")), 0600u);

    EXPECT_FALSE(copyFile(dir.file("missing"), dir.file("to")));
    EXPECT_EQ(test::readFile(dir.file("to")), "short");
    EXPECT_EQ(sortedEntries(dir.path()), (std::vector<std::string>{"from", "to"}));
}

TEST(Files, CreateDirectoryTakesOneLevelAndAcceptsOneThatIsThere) {
    TempDir dir;
    EXPECT_FALSE(createDirectory(dir.file("a/b")));
    EXPECT_TRUE(createDirectory(dir.file("a")));
    EXPECT_TRUE(createDirectory(dir.file("a")));
    test::writeFile(dir.file("file"), "");
    EXPECT_FALSE(createDirectory(dir.file("file")));
}

TEST(Files, StatusTellsNotFoundFromOtherErrorsAndTemporaryNamesDiffer) {
    TempDir dir;
    test::writeFile(dir.file("file"), "12345");
    struct Case {
        std::string path;
        FileStatus status;
    };
    const Case cases[] = {
        {dir.file("file"), FileStatus::Ok},
        {dir.path(), FileStatus::Ok},
        {dir.file("missing"), FileStatus::NotFound},
        {dir.file("missing/deeper"), FileStatus::NotFound},
        {dir.file("file/through"), FileStatus::NotFound},  // ENOTDIR
        {dir.file(std::string(300, 'n')), FileStatus::NotFound},
        {"", FileStatus::NotFound},
    };
    for (const Case& c : cases) EXPECT_EQ(fileStatus(c.path), c.status) << c.path;

    EXPECT_EQ(fileSize(dir.file("file")).size, 5u);
    EXPECT_EQ(fileSize(dir.file("file")).status, FileStatus::Ok);
    EXPECT_EQ(fileSize(dir.file("missing")).status, FileStatus::NotFound);
    EXPECT_EQ(fileSize(dir.path()).size, 0u);
    EXPECT_TRUE(isDirectory(dir.path()));
    EXPECT_FALSE(isDirectory(dir.file("file")));
    // Temporary names stay in their directory and differ.
    std::string first = temporaryNameFor("/q/Inbound/MSG.MAI");
    EXPECT_EQ(first.rfind("/q/Inbound/.", 0), 0u);
    EXPECT_NE(first, temporaryNameFor("/q/Inbound/MSG.MAI"));
    EXPECT_EQ(temporaryNameFor("plain").find('/'), std::string::npos);
    EXPECT_TRUE(isTemporaryName(first.substr(first.rfind('/') + 1)));
    EXPECT_FALSE(isTemporaryName("MSG.tmp"));
}

TEST(Files, UnsearchableDirectoryIsAnError) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may search any directory";
    TempDir dir;
    test::writeFile(dir.file("locked/file"), "");
    ::chmod(dir.file("locked").c_str(), 0);
    EXPECT_EQ(fileStatus(dir.file("locked/file")), FileStatus::Error);
    ::chmod(dir.file("locked").c_str(), 0700);
}

TEST(Paths, ResolvesNamesWithoutRegardToCase) {
    TempDir dir;
    test::writeFile(dir.file("Messages/FILTER.TAB"), "");
    test::writeFile(dir.file("twins/abc"), "");
    test::writeFile(dir.file("twins/ABC"), "");
    const std::string base = dir.path() + "/";
    for (const test::CaseLine& c : test::ReadCaseFile("platform/path_cases.txt"))
        EXPECT_EQ(resolvePath(base + c.fields[0]), base + c.fields[1]) << "line " << c.number;
    EXPECT_EQ(resolvePath(""), "");
    EXPECT_EQ(joinPath("/srv/q/", "MSG"), "/srv/q/MSG");
    EXPECT_EQ(joinPath("", "MSG"), "MSG");
}

using ProbeAnswer = int (*)(int);

const std::string kProbe = test::testLibPath("kzprobe.so");

void copyProbe(const std::string& to) {
    std::filesystem::copy_file(kProbe, to);
}

int answerOf(const DynamicLibrary& lib) {
    auto answer = lib.entry<ProbeAnswer>("KZ_ProbeAnswer");
    return answer ? answer(1) : -1;
}

TEST(DynamicLibrary, WindowsNamesResolveWithoutRegardToCase) {
    test::TempDir dir;
    copyProbe(dir.file("exact.DLL"));
    copyProbe(dir.file("exact.so"));
    copyProbe(dir.file("Other.dll"));
    copyProbe(dir.file("other.so"));
    copyProbe(dir.file("plain.so"));
    std::filesystem::create_directory(dir.file("folder.so"));
    std::filesystem::create_directory(dir.file("Application"));
    copyProbe(dir.file("Application/KzProbe.So"));
    for (const test::CaseLine& c : test::ReadCaseFile("platform/library_names.txt")) {
        const std::string want = c.fields[1] == "-" ? std::string() : dir.file(c.fields[1]);
        EXPECT_EQ(resolveLibraryPath(dir.path() + test::Unescape(c.fields[0])), want)
            << "line " << c.number;
    }
    auto lib = DynamicLibrary::load(dir.path() + "\\Application\\KZPROBE.DLL");
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->path(), dir.file("Application/KzProbe.So"));
    EXPECT_EQ(answerOf(*lib), 42);
}

TEST(DynamicLibrary, FailuresAreReportedWithAReason) {
    test::TempDir dir;
    std::string why;
    EXPECT_FALSE(DynamicLibrary::load(dir.file("KZNONE.DLL"), &why));
    EXPECT_NE(why.find("KZNONE.DLL"), std::string::npos);

    test::writeFile(dir.file("broken.so"), "not a library");
    EXPECT_FALSE(DynamicLibrary::load(dir.file("BROKEN.DLL"), &why));
    EXPECT_NE(why.find("broken.so"), std::string::npos);

    auto lib = DynamicLibrary::load(kProbe);
    ASSERT_TRUE(lib);
    EXPECT_EQ(lib->symbol("KZ_NoSuchEntry"), nullptr);
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The line after its "YYYY-MM-DD HH:MM:SS" stamp and tab; "BAD STAMP" when it has none.
std::string afterStamp(const std::string& line) {
    const std::string shape = "dddd-dd-dd dd:dd:dd\t";
    if (line.size() < shape.size()) return "BAD STAMP";
    for (size_t i = 0; i < shape.size(); ++i) {
        bool fits = shape[i] == 'd' ? (line[i] >= '0' && line[i] <= '9') : line[i] == shape[i];
        if (!fits) return "BAD STAMP";
    }
    return line.substr(shape.size());
}

TEST(EventLog, FileLineCarriesTypeSourceIdAndFlattenedStrings) {
    test::TempDir dir;
    test::ScopedEnv env("KZ_EVENTLOG", dir.file("events.log"));
    reportEvent("Kaztrel", EventType::Information, 1073741825,
                {"HasORBDBEntry handled an exception; session will be dropped.\r\n"
                 "The exception was: bad\nLine Trace = 3\n",
                 "second\rpart"});
    reportEvent("Src", EventType::Error, 7, {});
    reportEvent("Src", EventType::Warning, 8, {"w"});
    reportEvent("Src", EventType::Success, 9, {"", "s"});

    std::vector<std::string> lines = linesOf(test::readFile(dir.file("events.log")));
    ASSERT_EQ(lines.size(), 4u);
    const char* rest[] = {
        "Information\tKaztrel\t1073741825\tHasORBDBEntry handled an exception; session will be "
        "dropped. The exception was: bad Line Trace = 3 | second part",
        "Error\tSrc\t7\t",
        "Warning\tSrc\t8\tw",
        "Success\tSrc\t9\t | s",
    };
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(afterStamp(lines[i]), rest[i]);
}

TEST(EventLog, ConcurrentReportsStayWholeLines) {
    test::TempDir dir;
    test::ScopedEnv env("KZ_EVENTLOG", dir.file("events.log"));
    const std::string payload(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i)
                reportEvent("T" + std::to_string(t), EventType::Warning, uint32_t(i), {payload});
        });
    }
    for (auto& th : threads) th.join();

    std::vector<std::string> lines = linesOf(test::readFile(dir.file("events.log")));
    ASSERT_EQ(lines.size(), 400u);
    std::vector<int> perThread(4);
    for (const std::string& line : lines) {
        std::string rest = afterStamp(line);
        ASSERT_EQ(rest.rfind("Warning\tT", 0), 0u) << line;
        int t = rest[9] - '0';
        ASSERT_TRUE(t >= 0 && t < 4) << line;
        std::string tail = "\t" + std::to_string(perThread[t]++) + "\t" + payload;
        EXPECT_EQ(rest.substr(10), tail) << line;  // whole, and in each thread's order
    }
}

using std::chrono::milliseconds;

class NamedLockTest : public ::testing::Test {
  protected:
    test::TempDir dir;
    test::ScopedEnv env{"KZ_RUNTIME_DIR", dir.path()};
};

TEST_F(NamedLockTest, OtherProcessHoldsItUntilItDies) {
    test::Child holder({test::binPath("kztest-lock_holder"), "KZAVFLTDebugLog"});
    ASSERT_TRUE(holder.waitForLine("locked\n")) << holder.output();

    NamedLock lock("KZAVFLTDebugLog");
    EXPECT_FALSE(lock.lock(milliseconds(200)));
    holder.signal(SIGKILL);
    holder.wait();
    ASSERT_TRUE(lock.lock(milliseconds(5000)));
    lock.unlock();
}

TEST_F(NamedLockTest, ThreadsSharingOneLockExcludeEachOther) {
    NamedLock lock("shared");
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    bool otherGotIt = true;
    std::thread([&] { otherGotIt = lock.lock(milliseconds(50)); }).join();
    EXPECT_FALSE(otherGotIt);
    lock.unlock();

    std::atomic<int> inside{0}, overlaps{0};
    auto work = [&] {
        for (int i = 0; i < 300; ++i) {
            ASSERT_TRUE(lock.lock(milliseconds(10000)));
            if (inside.fetch_add(1) != 0) ++overlaps;
            std::this_thread::yield();
            inside.fetch_sub(1);
            lock.unlock();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(overlaps.load(), 0);
}

// Released per hold, and only by the holding thread.
TEST_F(NamedLockTest, HoldingThreadTakesItAgainAndReleasesPerHold) {
    NamedLock lock("nested"), other("nested");
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    lock.unlock();
    std::thread([&] { lock.unlock(); }).join();
    EXPECT_FALSE(other.lock(milliseconds(0)));
    lock.unlock();
    EXPECT_TRUE(other.lock(milliseconds(0)));
    other.unlock();
}

TEST_F(NamedLockTest, NameCannotLeaveTheRuntimeDirectoryAndAMissingOneFailsTheLock) {
    NamedLock lock("../a/b c");
    EXPECT_EQ(lock.filePath(), dir.file("_.._a_b_c.lock"));
    ASSERT_TRUE(lock.lock(milliseconds(0)));
    EXPECT_TRUE(test::exists(dir.file("_.._a_b_c.lock")));
    lock.unlock();
    test::ScopedEnv missing("KZ_RUNTIME_DIR", "/nonexistent/kz-runtime");
    NamedLock nowhere("x");
    EXPECT_FALSE(nowhere.lock(milliseconds(0)));
}

TEST_F(NamedLockTest, RemovedLockFileIsNotLockedTwice) {
    NamedLock early("gone");
    ASSERT_TRUE(early.lock(milliseconds(0)));
    early.unlock();
    ASSERT_EQ(unlink(early.filePath().c_str()), 0);
    NamedLock late("gone");
    ASSERT_TRUE(late.lock(milliseconds(0)));
    EXPECT_FALSE(early.lock(milliseconds(0)));  // must not lock its stale file
    late.unlock();
}

}  // namespace
}  // namespace kz::platform
