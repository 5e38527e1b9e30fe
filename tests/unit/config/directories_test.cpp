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
    EXPECT_EQ(dirs->activityLog.size(), 511u);
    EXPECT_EQ(dirs->mailRoot.size(), 1023u);
    EXPECT_EQ(dirs->configuration, "");
    setString(kAgentKey, kActivityLogDirectory, "/" + std::string(511, 'l'));
    ReadAttachDirectories();
    EXPECT_EQ(CurrentDirectories()->activityLog, "");
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
    EXPECT_EQ(after->connectorRoot, "/new");
    EXPECT_EQ(after->configuration, "/new");
    EXPECT_EQ(after->badMail, "/new");
    EXPECT_EQ(after->quarantine, "/new");
    EXPECT_EQ(after->mailRoot, "C:/Kaztrel/Mail");
    EXPECT_EQ(after->application, "/opt/kz/lib");
    EXPECT_EQ(after->activityLog, "/var/log/kz");
    EXPECT_EQ(after->whitelistConfiguration, "C:/Kaztrel/Config");
    // A run that took its snapshot before the reread keeps seeing the old values.
    EXPECT_EQ(before->connectorRoot, "/var/spool/kz/connectors");
    EXPECT_EQ(ReadApplicationDirectory(), "/new");
}

TEST_F(DirectoriesTest, MailRootIsReadAgainWhileEmpty) {
    ReadAttachDirectories();
    ASSERT_EQ(CurrentDirectories()->mailRoot, "");
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
                if (dirs->connectorRoot != "/a" && dirs->connectorRoot != "/b") ++torn;
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
