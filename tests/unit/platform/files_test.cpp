#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "support/case_file.h"
#include "support/test_support.h"

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

TEST(Files, TextModeTurnsOnlyCrLfPairsIntoLf) {
    std::string path = test::fixture("platform/crlf.txt");
    EXPECT_EQ(readTextFile(path), "first\nsecond\rstill second\n\ndouble\r\nlast without end\r");
    EXPECT_EQ(readFile(path), test::readFile(path));  // binary read keeps every byte
}

TEST(Files, ReadingMissingFilesOrDirectoriesFails) {
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

TEST(Files, StatusTellsNotFoundFromOtherErrors) {
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
}

TEST(Files, UnsearchableDirectoryIsAnError) {
    if (::geteuid() == 0) GTEST_SKIP() << "root may search any directory";
    TempDir dir;
    test::writeFile(dir.file("locked/file"), "");
    ::chmod(dir.file("locked").c_str(), 0);
    EXPECT_EQ(fileStatus(dir.file("locked/file")), FileStatus::Error);
    ::chmod(dir.file("locked").c_str(), 0700);
}

TEST(Files, TemporaryNamesStayInTheDirectoryAndDiffer) {
    std::string first = temporaryNameFor("/q/Inbound/MSG.MAI");
    EXPECT_EQ(first.rfind("/q/Inbound/.", 0), 0u);
    EXPECT_NE(first, temporaryNameFor("/q/Inbound/MSG.MAI"));
    EXPECT_EQ(temporaryNameFor("plain").find('/'), std::string::npos);
    EXPECT_TRUE(isTemporaryName(first.substr(first.rfind('/') + 1)));
    EXPECT_FALSE(isTemporaryName("MSG.tmp"));
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

}  // namespace
}  // namespace kz::platform
