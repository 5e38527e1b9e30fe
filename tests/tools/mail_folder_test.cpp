// kzmta's reader of mail folders: where mbox messages begin and end, what their quoting
// becomes, how long messages are cut, and which files of a folder tree are messages.

#include "mail_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/test_support.h"

namespace kz::test {
namespace {

using tool::FolderMessage;

std::vector<FolderMessage> mbox(const std::string& text, std::size_t max) {
    std::vector<FolderMessage> messages;
    std::istringstream in(text);
    tool::ReadMbox(in, "box", max, [&](FolderMessage&& m) { messages.push_back(std::move(m)); });
    return messages;
}

TEST(MailFolder, MboxSeparatorsQuotingAndLineEnds) {
    const auto messages = mbox(readFile(fixture("tools/mail_folder/edge.mbox")), 1 << 20);
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].name, "box#1");
    EXPECT_EQ(messages[0].text,
              "Subject: one\n\nFrom quoted once\n>From quoted twice\n> From not quoting\n"
              "From not after an empty line\n");
    EXPECT_EQ(messages[1].text, "Subject: two\n\nlast line\n");
    // The third holds nothing but the empty line before the fourth's separator.
    EXPECT_EQ(messages[2].name, "box#4");
    EXPECT_EQ(messages[2].text, "Subject: four, CR LF\r\n\r\nbody\r\n");
}

TEST(MailFolder, LongMessagesAndLinesAreCutWithoutLosingTheNext) {
    const std::string longLine(5000, 'x');
    const std::string text = "From a\nSubject: long\n\n" + longLine +
                             "\nFrom inside a long message\n\n" +
                             "From b\nSubject: next\n\nshort\n";
    const auto messages = mbox(text, 100);
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_TRUE(messages[0].cut);
    EXPECT_EQ(messages[0].text, ("Subject: long\n\n" + longLine).substr(0, 100));
    EXPECT_FALSE(messages[1].cut);
    EXPECT_EQ(messages[1].text, "Subject: next\n\nshort\n");
    // Quoting longer than the part of a line it is told by stays as it is.
    const std::string quoted = std::string(3000, '>') + "From x\n";
    const auto huge = mbox("From a\n\n" + quoted, 1 << 20);
    ASSERT_EQ(huge.size(), 1u);
    EXPECT_EQ(huge[0].text, "\n" + quoted);
}

TEST(MailFolder, MaildirsFoldersAndMboxFilesInNameOrder) {
    TempDir dir;
    writeFile(dir.file("md/cur/2.host:2,S"), "Subject: cur two\n\n");
    writeFile(dir.file("md/cur/1.host:2,"), "Subject: cur one\n\n");
    writeFile(dir.file("md/new/3.host"), "Subject: new\n\n");
    writeFile(dir.file("md/tmp/4.host"), "Subject: still being written\n\n");
    writeFile(dir.file("md/dovecot-uidlist"), "3 V1 N4\n");
    writeFile(dir.file("md/.Sent/cur/5.host:2,S"), "Subject: sent\n\n");
    writeFile(dir.file("plain/b/c.eml"), "Subject: nested\n\n");
    writeFile(dir.file("plain/a.mbox"), "From x\nSubject: boxed\n\n");
    writeFile(dir.file("plain/.DS_Store"), "index");
    writeFile(dir.file("plain/empty.eml"), "");
    std::vector<std::string> names, problems;
    tool::ReadMailFolders(
        {dir.file("md"), dir.file("plain")},
        [&](FolderMessage&& m) {
            names.push_back(
                std::filesystem::relative(m.name.substr(0, m.name.find('#')), dir.path()).string() +
                (m.name.find('#') != std::string::npos ? m.name.substr(m.name.find('#')) : ""));
        },
        [&](const std::string& p) { problems.push_back(p); });
    EXPECT_EQ(names, (std::vector<std::string>{"md/cur/1.host:2,", "md/cur/2.host:2,S",
                                               "md/new/3.host", "md/.Sent/cur/5.host:2,S",
                                               "plain/a.mbox#1", "plain/b/c.eml"}));
    EXPECT_TRUE(problems.empty());
    EXPECT_THROW(tool::ReadMailFolders(
                     {dir.file("absent")}, [](FolderMessage&&) {}, [](const std::string&) {}),
                 std::runtime_error);
}

}  // namespace
}  // namespace kz::test
