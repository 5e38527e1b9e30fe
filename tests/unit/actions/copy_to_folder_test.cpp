#include "actions/copy_to_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "store/folder_flags.h"
#include "support/case_file.h"
#include "unit/actions/actions_fixture.h"
#include "unit/platform/scoped_env.h"

namespace kz::test {
namespace {

using actions::CopyToMailboxFolder;
using actions::MoveToMailboxFolder;

constexpr std::string_view kPostOfficeOptions =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Options\\PostOffices\\Main";
constexpr std::string_view kMailboxOptions =
    "SOFTWARE\\Kaztrel\\Kaztrel\\Options\\Mailboxes\\Main\\joe";
constexpr std::string_view kModification = "WebMail-Public-Folders-Modification-Permitted";

// The option provider library reads the registry file named by KZ_REGISTRY.
class CopyToFolderTest : public ActionsTest {
  protected:
    void SetUp() override {
        ActionsTest::SetUp();
        setString(config::kProductKey, config::kApplicationDirectory, libDir());
        config::ReadAttachDirectories();
        queueMessage("all_keys.cmd", "plain.eml");
    }
    std::string filedIn(const std::string& folder) const {
        return folder + "/" + std::string(kMessageId);
    }

    ScopedEnv registryEnv_{"KZ_REGISTRY", registryPath()};
};

TEST_F(CopyToFolderTest, JunkAndNestedFoldersGoIntoTheMailboxWithEitherSeparator) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(CopyToMailboxFolder(mailboxContext(), "\\Junk"));
    std::string console = testing::internal::GetCapturedStdout();
    EXPECT_EQ(readFile(filedIn(mailboxRoot() + "/Junk")), readFile(messageFile()));
    EXPECT_EQ(readFile(mailboxRoot() + "/_FOLDER.DTY"), store::kFlagText);
    EXPECT_EQ(readFile(mailboxRoot() + "/Junk/_CHANGE.DTY"), store::kFlagText);
    EXPECT_NE(console.find("Folder=Junk::Folder Made Dirty to notify clients\n"),
              std::string::npos);
    // The queued message stays for COPY.
    EXPECT_TRUE(platform::fileStatus(commandFile()) == platform::FileStatus::Ok);
    // Backslashes and slashes name the same folder.
    makeDirectories(mailboxRoot() + "/Inbox");
    EXPECT_TRUE(CopyToMailboxFolder(mailboxContext(), "Inbox\\Work"));
    platform::removeFile(filedIn(mailboxRoot() + "/Inbox/Work"));
    EXPECT_TRUE(CopyToMailboxFolder(mailboxContext(), "Inbox/Work"));
    EXPECT_TRUE(CopyToMailboxFolder(mailboxContext(), "J"));
    EXPECT_TRUE(platform::fileStatus(filedIn(mailboxRoot() + "/Inbox/Work")) ==
                platform::FileStatus::Ok);
    EXPECT_TRUE(platform::fileStatus(filedIn(mailboxRoot() + "/J")) == platform::FileStatus::Ok);
}

TEST_F(CopyToFolderTest, NamesThatWouldLeaveTheirPlaceAreRefused) {
    const auto cases = ReadCaseFile("actions/refused_folders.txt");
    EXPECT_EQ(cases.size(), 9u);
    for (const CaseLine& c : cases) {
        MessageContext context = mailboxContext();
        context.account = c.fields[0];
        context.user = c.fields[1];
        EXPECT_FALSE(CopyToMailboxFolder(context, c.fields[2])) << "line " << c.number;
        EXPECT_FALSE(MoveToMailboxFolder(context, c.fields[2]));
    }
    EXPECT_TRUE(platform::fileStatus(commandFile()) == platform::FileStatus::Ok);
    EXPECT_TRUE(strayNames(mailboxRoot(), {}).empty());
}

TEST_F(CopyToFolderTest, PublicFoldersFollowThePermissionChain) {
    const auto steps = ReadCaseFile("actions/public_folder_chain.txt");
    EXPECT_EQ(steps.size(), 10u);
    int step = 0;
    for (const CaseLine& c : steps) {
        const std::vector<std::string>& f = c.fields;
        SCOPED_TRACE(f[0]);
        ASSERT_EQ(f.size(), 7u);
        // A registry file of its own per step, so the option provider reads it afresh.
        std::string registryFile = dir_.file("registry-" + std::to_string(++step) + ".reg");
        useRegistry(registryFile);
        setenv("KZ_REGISTRY", registryFile.c_str(), 1);
        setString(config::kConnectorsKey, config::kConnectorRootDirectory, root());
        setString(config::kProductKey, config::kMailRoot, mailRoot());
        setString(config::kProductKey, config::kApplicationDirectory, libDir());
        if (f[1] != "-") setString(kPostOfficeOptions, "Public Folders", f[1]);
        if (f[2] != "-")
            setDword(config::kWebmailOptionsKey, config::kPublicFoldersModificationPermitted,
                     uint32_t(std::stoul(f[2])));
        if (f[3] != "-") setString(kPostOfficeOptions, kModification, f[3]);
        if (f[4] != "-") setString(kMailboxOptions, kModification, f[4]);
        if (f[5] != "-")
            setDword(config::kProductKey, config::kPublicFoldersEnabled, std::stoul(f[5]));
        platform::removeFile(filedIn(pubRoot() + "/Sales"));
        platform::removeFile(filedIn(mailboxRoot() + "/Public/Sales"));
        makeDirectories(mailboxRoot() + "/Public");
        EXPECT_TRUE(CopyToMailboxFolder(mailboxContext(), "Public\\Sales"));
        bool inPublic =
            platform::fileStatus(filedIn(pubRoot() + "/Sales")) == platform::FileStatus::Ok;
        bool inMailbox = platform::fileStatus(filedIn(mailboxRoot() + "/Public/Sales")) ==
                         platform::FileStatus::Ok;
        EXPECT_EQ(inPublic, f[6] == "1");
        EXPECT_EQ(inMailbox, f[6] != "1");
    }
}

TEST_F(CopyToFolderTest, OutgoingCopyIsPreferredAndMoveDeletesTheQueuedMessage) {
    std::string outgoing = root() + "/" + std::string(kConnector) + "/Outgoing/Messages";
    makeDirectories(outgoing);
    writeFile(filedIn(outgoing), "outgoing copy\r\n");
    EXPECT_TRUE(MoveToMailboxFolder(mailboxContext(), "Junk"));
    EXPECT_EQ(readFile(filedIn(mailboxRoot() + "/Junk")), "outgoing copy\r\n");
    EXPECT_TRUE(platform::fileStatus(commandFile()) == platform::FileStatus::NotFound);
    EXPECT_TRUE(platform::fileStatus(messageFile()) == platform::FileStatus::NotFound);
}

}  // namespace
}  // namespace kz::test
