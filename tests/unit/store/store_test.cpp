#include <gtest/gtest.h>

#include <filesystem>

#include "config/registry_keys.h"
#include "store/folder_flags.h"
#include "store/store_library.h"
#include "unit/config/config_fixture.h"

namespace kz::test {
namespace {

namespace fs = std::filesystem;

class StoreTest : public ConfigTest {
  protected:
    void SetUp() override {
        ConfigTest::SetUp();
        setString(config::kProductKey, config::kMailRoot, dir_.file("mail"));
        setString(config::kProductKey, config::kApplicationDirectory, libDir());
        config::ReadAttachDirectories();
        mailbox = dir_.file("mail/example.com/MAILROOT/alice");
        fs::create_directories(mailbox);
    }
    std::string mailbox;
};

TEST_F(StoreTest, FlagsFollowTheFolderShape) {
    // Outside the store roots: the folder is made, no flag.
    std::string plain = dir_.file("elsewhere");
    EXPECT_TRUE(store::CreateStoreFolder(plain));
    EXPECT_TRUE(fs::is_directory(plain));
    EXPECT_FALSE(exists(dir_.path() + "/_FOLDER.DTY"));

    // "Inbox/Work": the flag goes into Inbox, and Windows separators mean the same.
    fs::create_directories(mailbox + "/Inbox");
    store::CreateStoreFolder(mailbox + "\\Inbox\\Work");
    EXPECT_TRUE(fs::is_directory(mailbox + "/Inbox/Work"));
    EXPECT_EQ(readFile(mailbox + "/Inbox/_FOLDER.DTY"), store::kFlagText);

    // A missing parent: no folder, and the flag cannot be written either.
    EXPECT_FALSE(store::CreateStoreFolder(mailbox + "/Missing/Deep"));

    // A public folder's contents flag has no directory under the mailbox: console only.
    testing::internal::CaptureStdout();
    store::MarkFolderChanged("example.com", "alice", "Public\\Sales", "ADD", "A1.MAI");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Folder=Public\\Sales::Folder Made Dirty to notify clients\n");
    EXPECT_FALSE(exists(mailbox + "/Public/Sales/_CHANGE.DTY"));
}

TEST_F(StoreTest, StoreLibraryStartsAndStopsOnce) {
    EXPECT_EQ(store::StopStoreLibrary(), 0);  // nothing started yet
    EXPECT_EQ(store::StartStoreLibrary(), 1);
    EXPECT_EQ(store::StopStoreLibrary(), 1);
    EXPECT_EQ(store::StopStoreLibrary(), 0);

    setString(config::kProductKey, config::kApplicationDirectory, dir_.path());
    config::ReadAttachDirectories();
    EXPECT_EQ(store::StartStoreLibrary(), 0);  // no KZAISP.DLL there: filtering goes on
}

}  // namespace
}  // namespace kz::test
