#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "config/paths.h"
#include "config/registry_keys.h"
#include "unit/config/config_fixture.h"

namespace kz::test {
namespace {

using namespace kz::config;

class DirectoriesTest : public ConfigTest {};

TEST_F(DirectoriesTest, ValuesLongerThanTheirBufferReadAsEmpty) {
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(510, 'l'));
    setString(kProductKey, kMailRoot, "/" + std::string(1022, 'm'));
    setString(kProductKey, kConfigurationDirectory, "/" + std::string(1023, 'c'));
    ReadAttachDirectories();
    auto dirs = CurrentDirectories();
    EXPECT_EQ(dirs->ActivityLog.size(), 511u);
    EXPECT_EQ(dirs->MailRoot.size(), 1023u);
    EXPECT_EQ(dirs->Configuration, "");
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(511, 'l'));
    ReadAttachDirectories();
    EXPECT_EQ(CurrentDirectories()->ActivityLog, "");
}

TEST_F(DirectoriesTest, EachRunRereadsOnlyItsFourDirectories) {
    loadFixture("settings.reg");
    ReadAttachDirectories();
    auto before = CurrentDirectories();

    for (auto [key, name] : {std::pair{kConnectorsKey, kConnectorRootDirectory},
                             {kProductKey, kConfigurationDirectory},
                             {kProductKey, kBadMailDirectory},
                             {kProductKey, kQuarantineDirectory},
                             {kProductKey, kMailRoot},
                             {kProductKey, kApplicationDirectory},
                             {kAgentKey, kActivityLogDirectory}})
        setString(key, name, "/new");
    ReadRunDirectories();

    // Attach read every directory, with native separators; a run rereads only four.
    auto after = CurrentDirectories();
    EXPECT_EQ(after->ConnectorRoot, "/new");
    EXPECT_EQ(after->Configuration, "/new");
    EXPECT_EQ(after->BadMail, "/new");
    EXPECT_EQ(after->Quarantine, "/new");
    EXPECT_EQ(after->MailRoot, "C:/Kaztrel/Mail");
    EXPECT_EQ(after->Application, "/opt/kz/lib");
    EXPECT_EQ(after->ActivityLog, "/var/log/kz");
    EXPECT_EQ(after->WhitelistConfiguration, "C:/Kaztrel/Config");
    // A run that took its snapshot before the reread keeps seeing the old values.
    EXPECT_EQ(before->ConnectorRoot, "/var/spool/kz/connectors");
    EXPECT_EQ(ReadApplicationDirectory(), "/new");
}

TEST_F(DirectoriesTest, MailRootIsReadAgainWhileEmpty) {
    ReadAttachDirectories();
    ASSERT_EQ(CurrentDirectories()->MailRoot, "");
    setString(kProductKey, kMailRoot, "D:\\Mail");
    EXPECT_EQ(PostOfficeRoot("Main"), "D:/Mail/Main");
    setString(kProductKey, kMailRoot, "/elsewhere");
    EXPECT_EQ(PostOfficeRoot("Main"), "D:/Mail/Main");
}

TEST_F(DirectoriesTest, RunsReadWholeSnapshotsWhileAnotherRunRereads) {
    setString(kConnectorsKey, kConnectorRootDirectory, "/a");
    setString(kProductKey, kQuarantineDirectory, "/a");
    ReadAttachDirectories();
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!done.load()) {
                ReadRunDirectories();
                auto dirs = CurrentDirectories();
                if (dirs->ConnectorRoot != "/a" && dirs->ConnectorRoot != "/b") ++torn;
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        const char* value = (i % 2) ? "/a" : "/b";
        registry().setString(kConnectorsKey, kConnectorRootDirectory, value);
        registry().setString(kProductKey, kQuarantineDirectory, value);
    }
    done = true;
    for (auto& reader : readers) reader.join();
    EXPECT_EQ(torn.load(), 0);
}

TEST(DerivedPathsTest, JoinDirectoryAndNameWithSlashes) {
    EXPECT_EQ(QueueMessageFile("/q", "SMTP", "A1.MAI"), "/q/SMTP/Inbound/Messages/A1.MAI");
    // Names from administrator data may carry Windows separators.
    EXPECT_EQ(CriteriaTablePath("/cfg", "Sub\\Spam"), "/cfg/FILTERS/CRITERIA/Sub/Spam.TAB");
}

}  // namespace
}  // namespace kz::test
